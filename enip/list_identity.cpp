#include "enip/list_identity.h"

namespace corvessa {

ListIdentityRequest BuildListIdentity() {
  ListIdentityRequest request{};
  ByteWriter writer(request);
  WriteEncapHeader(writer, kEncapListIdentity, 0, 0);
  return request;
}

std::optional<std::vector<CpfItem>> ParseCpfItems(std::span<const std::uint8_t> data) {
  ByteReader reader(data);
  const auto count = reader.U16Little();
  if (!count) return std::nullopt;
  std::vector<CpfItem> items;
  for (std::uint16_t i = 0; i < *count; ++i) {
    const auto type = reader.U16Little();
    const auto length = reader.U16Little();
    if (!type || !length) return std::nullopt;
    const auto body = reader.Bytes(*length);
    if (!body) return std::nullopt;
    items.push_back({*type, *body});
  }
  return items;
}

std::optional<CipIdentity> ParseIdentityItem(std::span<const std::uint8_t> item) {
  ByteReader reader(item);
  CipIdentity identity;
  const auto version = reader.U16Little();
  const auto family = reader.U16Big();
  const auto port = reader.U16Big();
  const auto address = reader.U32Big();
  const bool zeroFits = reader.Skip(kIdentitySinZeroSize);
  const auto vendor = reader.U16Little();
  const auto deviceType = reader.U16Little();
  const auto productCode = reader.U16Little();
  const auto major = reader.U8();
  const auto minor = reader.U8();
  const auto status = reader.U16Little();
  const auto serial = reader.U32Little();
  const auto nameLength = reader.U8();
  if (reader.Failed() || !zeroFits) return std::nullopt;
  const auto name = reader.Bytes(*nameLength);
  if (!name) return std::nullopt;
  identity.protocolVersion = *version;
  identity.socketFamily = *family;
  identity.socketPort = *port;
  identity.socketAddress = *address;
  identity.vendorId = *vendor;
  identity.deviceType = *deviceType;
  identity.productCode = *productCode;
  identity.revisionMajor = *major;
  identity.revisionMinor = *minor;
  identity.status = *status;
  identity.serialNumber = *serial;
  identity.productName.assign(name->begin(), name->end());
  if (reader.Remaining() > 0) identity.state = reader.U8();
  return identity;
}

std::optional<CipIdentity> ParseListIdentityReply(std::span<const std::uint8_t> reply) {
  const auto command = little_endian::Get16(reply, kEncapCommandOffset);
  const auto length = little_endian::Get16(reply, kEncapLengthOffset);
  const auto status = little_endian::Get32(reply, kEncapStatusOffset);
  if (!command || !length || !status || reply.size() < kEncapHeaderSize) return std::nullopt;
  if (*command != kEncapListIdentity || *status != 0) return std::nullopt;
  const auto data = GetBytes(reply, kEncapHeaderSize, *length);
  if (!data) return std::nullopt;
  const auto items = ParseCpfItems(*data);
  if (!items) return std::nullopt;
  for (const CpfItem& item : *items) {
    if (item.type == kCipIdentityItem) return ParseIdentityItem(item.data);
  }
  return std::nullopt;
}

std::string ProductNameText(const CipIdentity& identity) {
  std::string text;
  for (const char c : identity.productName) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0)) {
      text.push_back('?');
    } else if (byte < 0x80) {
      text.push_back(c);
    } else {
      text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return text;
}

}  // namespace corvessa
