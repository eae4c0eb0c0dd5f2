#include "bench/load/client_message.h"

#include <algorithm>

#include "core/bytes.h"
#include "server/bootp_message.h"

namespace corvessa::load {

namespace {

constexpr std::uint8_t kMacLength = 6;
constexpr std::size_t kOptionHeaderSize = 2;
constexpr std::size_t kAddressOptionSize = 4;

std::uint8_t MessageTypeOf(RequestKind kind) {
  return kind == RequestKind::Discover ? dhcp_type::kDiscover : dhcp_type::kRequest;
}

void PutAddressOption(ByteWriter& writer, std::uint8_t code, std::uint32_t address) {
  writer.U8(code);
  writer.U8(static_cast<std::uint8_t>(kAddressOptionSize));
  writer.U32Big(address);
}

}  // namespace

std::array<std::uint8_t, kRequestSize> BuildRequest(const RequestFields& fields) {
  std::array<std::uint8_t, kRequestSize> bytes{};
  ByteWriter writer{std::span<std::uint8_t>(bytes)};
  writer.U8(kOpBootRequest);
  writer.U8(kHtypeEthernet);
  writer.U8(kMacLength);
  writer.U8(0);  // hops
  writer.U32Big(fields.xid);
  writer.U16Big(0);  // secs
  writer.U16Big(kBroadcastFlag);
  writer.Fill(kChaddrOffset - kCiaddrOffset, 0);  // ciaddr, yiaddr, siaddr, giaddr
  writer.Bytes(fields.mac);
  writer.Fill(kMagicCookieOffset - kChaddrOffset - fields.mac.size(), 0);  // rest of chaddr, sname, file
  writer.Bytes(kMagicCookie);
  if (fields.kind != RequestKind::Bootp) {
    writer.U8(option::kMessageType);
    writer.U8(1);
    writer.U8(MessageTypeOf(fields.kind));
    if (fields.kind == RequestKind::Request) {
      PutAddressOption(writer, option::kRequestedAddress, fields.requestedAddress);
      PutAddressOption(writer, option::kServerIdentifier, fields.serverIdentifier);
    }
    writer.U8(kParameterRequestList);
    writer.U8(static_cast<std::uint8_t>(kRequestedParameters.size()));
    writer.Bytes(kRequestedParameters);
  }
  writer.U8(option::kEnd);
  // End of the largest request (a REQUEST) is byte 262, well inside the 300.
  return bytes;
}

std::optional<ReplyFields> ParseReply(std::span<const std::uint8_t> datagram) {
  const auto op = big_endian::Get8(datagram, kOpOffset);
  const auto hlen = big_endian::Get8(datagram, kHlenOffset);
  const auto xid = big_endian::Get32(datagram, kXidOffset);
  const auto yiaddr = big_endian::Get32(datagram, kYiaddrOffset);
  const auto chaddr = GetBytes(datagram, kChaddrOffset, kMacLength);
  const auto cookie = GetBytes(datagram, kMagicCookieOffset, kMagicCookie.size());
  if (!op || !hlen || !xid || !yiaddr || !chaddr || !cookie) return std::nullopt;
  if (*op != kOpBootReply) return std::nullopt;
  if (!std::equal(cookie->begin(), cookie->end(), kMagicCookie.begin())) return std::nullopt;

  ReplyFields reply;
  reply.xid = *xid;
  reply.hlen = *hlen;
  reply.yiaddr = *yiaddr;
  std::copy(chaddr->begin(), chaddr->end(), reply.mac.begin());

  std::size_t position = kOptionsOffset;
  while (position < datagram.size()) {
    const std::uint8_t code = datagram[position];
    if (code == option::kEnd) return reply;
    if (code == option::kPad) {
      ++position;
      continue;
    }
    const auto length = big_endian::Get8(datagram, position + 1);
    if (!length) return std::nullopt;
    const auto value = GetBytes(datagram, position + kOptionHeaderSize, *length);
    if (!value) return std::nullopt;
    if (code == option::kMessageType && *length >= 1) reply.messageType = (*value)[0];
    if (code == option::kHostName) reply.hostname = std::string(value->begin(), value->end());
    if (code == option::kServerIdentifier && *length >= kAddressOptionSize) {
      reply.serverIdentifier = big_endian::Get32(*value, 0);
    }
    position += kOptionHeaderSize + *length;
  }
  // Options that run to the end of the datagram without End are accepted:
  // every one of them was complete.
  return reply;
}

}  // namespace corvessa::load
