#include "server/bootp_message.h"

#include "core/strings.h"

#include <algorithm>

#include "core/address.h"
#include "core/bytes.h"

namespace corvessa {

namespace {

std::uint32_t ReadAddress(const BootpMessage& message, std::size_t offset) {
  return big_endian::Get32(message.bytes, offset).value_or(0);
}

}  // namespace

void BootpMessage::Assign(const std::uint8_t* data, std::size_t length) {
  const std::size_t count = data == nullptr ? 0 : std::min(length, bytes.size());
  std::copy_n(data, count, bytes.begin());
  // A short datagram must not be completed with what an earlier one left here.
  std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(count), bytes.end(), std::uint8_t{0});
}

std::uint32_t BootpMessage::Ciaddr() const { return ReadAddress(*this, kCiaddrOffset); }

std::uint32_t BootpMessage::Giaddr() const { return ReadAddress(*this, kGiaddrOffset); }

std::optional<OptionValue> FindOption(const BootpMessage& message, std::uint8_t code) {
  const auto& b = message.bytes;
  std::size_t p = 0;
  // p < 122 keeps p + 1 (the length byte) and the value's start far inside the
  // 2284-byte buffer, and the value (at most 255 bytes) ends before it too.
  static_assert(kOptionsOffset + kOptionScanLimit + 1 + 255 < kBootpMessageSize);
  while (p < kOptionScanLimit) {
    const std::uint8_t c = b[kOptionsOffset + p];
    if (c == option::kEnd || c == option::kPad) break;
    const std::uint8_t n = b[kOptionsOffset + p + 1];
    if (c == code) return OptionValue{kOptionsOffset + p + 2, n};
    p += 2 + std::size_t{n};
  }
  return std::nullopt;
}

RequestKind ClassifyRequest(const BootpMessage& message) {
  if (message.Op() != kOpBootRequest) return RequestKind::NotARequest;
  const auto type = FindOption(message, option::kMessageType);
  if (!type) return RequestKind::Bootp;
  // An option 53 without a value byte names no message type; reading the byte
  // after it would take the next option's code for the type.
  if (type->length == 0) return RequestKind::DhcpIgnored;
  const std::uint8_t value = message.bytes[type->position];
  if (value == dhcp_type::kDiscover || value == dhcp_type::kRequest) return RequestKind::DhcpAnswered;
  return RequestKind::DhcpIgnored;
}

std::string RequestMacText(const BootpMessage& message) {
  return MacToText(message.Chaddr(), std::min<std::size_t>(message.Hlen(), kChaddrSize));
}

std::string_view RequestTypeText(const BootpMessage& message) {
  return FindOption(message, option::kMessageType) ? text::kTypeDhcp : text::kTypeBootp;
}

}  // namespace corvessa
