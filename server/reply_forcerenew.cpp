#include <algorithm>

#include "server/reply.h"
#include "server/reply_writer.h"

namespace corvessa {

std::array<std::uint8_t, kBootpReplySize> BuildForceRenew(std::uint32_t xid, const Relation& relation) {
  constexpr std::uint8_t kHtypeEthernet = 1;
  constexpr std::uint8_t kEthernetHlen = 6;
  // secs, flags, ciaddr, yiaddr, siaddr, giaddr
  constexpr std::size_t kZeroFieldsSize = kChaddrOffset - kSecsOffset;

  std::array<std::uint8_t, kBootpReplySize> message{};
  ByteWriter writer{std::span<std::uint8_t>(message)};
  writer.U8(kOpBootReply);
  writer.U8(kHtypeEthernet);
  writer.U8(kEthernetHlen);
  writer.U8(0);  // hops
  // Unlike every other field, this xid goes out least significant byte first.
  writer.U32Little(xid);
  writer.Fill(kZeroFieldsSize, 0);
  const std::span<const std::uint8_t> mac = MacBytes(relation);
  writer.Bytes(mac);
  writer.Fill(kChaddrSize - mac.size(), 0);
  writer.Fill(kSnameSize + kFileSize, 0);
  PutCookie(writer);
  const std::uint8_t type = dhcp_type::kForceRenew;
  PutOption(writer, option::kMessageType, std::span(&type, 1));
  PutEnd(writer);
  // The rest of the 300 bytes stays 0.
  return message;
}

}  // namespace corvessa
