#pragma once
// List Identity: the encapsulation command that asks every EtherNet/IP device
// on a network who it is, without a session. The request is a bare header;
// each device answers with a list of Common Packet Format items whose CIP
// Identity item names its vendor, product, revision, serial number and state.
// Encapsulation and CIP fields are little-endian; the socket address inside
// the identity item is laid out as a sockaddr_in, big-endian.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "enip/encap_message.h"

namespace corvessa {

inline constexpr std::uint16_t kEncapListIdentity = 0x0063;
// Devices listen for List Identity on this UDP port.
inline constexpr std::uint16_t kEnipUdpPort = 44818;
inline constexpr std::size_t kListIdentityRequestSize = kEncapHeaderSize;

// Reply: the item count follows the header, then the items, each a type, a
// length and that many bytes.
inline constexpr std::size_t kCpfItemCountOffset = kEncapHeaderSize;
inline constexpr std::size_t kCpfFirstItemOffset = kEncapHeaderSize + 2;
inline constexpr std::size_t kCpfItemHeaderSize = 4;
inline constexpr std::uint16_t kCipIdentityItem = 0x000C;

// CIP Identity item, offsets in the item's data.
inline constexpr std::size_t kIdentityProtocolVersionOffset = 0;
inline constexpr std::size_t kIdentitySinFamilyOffset = 2;
inline constexpr std::size_t kIdentitySinPortOffset = 4;
inline constexpr std::size_t kIdentitySinAddressOffset = 6;
inline constexpr std::size_t kIdentitySinZeroOffset = 10;
inline constexpr std::size_t kIdentitySinZeroSize = 8;
inline constexpr std::size_t kIdentityVendorOffset = 18;
inline constexpr std::size_t kIdentityDeviceTypeOffset = 20;
inline constexpr std::size_t kIdentityProductCodeOffset = 22;
inline constexpr std::size_t kIdentityRevisionMajorOffset = 24;
inline constexpr std::size_t kIdentityRevisionMinorOffset = 25;
inline constexpr std::size_t kIdentityStatusOffset = 26;
inline constexpr std::size_t kIdentitySerialOffset = 28;
inline constexpr std::size_t kIdentityNameLengthOffset = 32;
inline constexpr std::size_t kIdentityNameOffset = 33;
// Everything up to the name's length byte, and the smallest item: an empty
// name and no state byte.
inline constexpr std::size_t kIdentityFixedSize = 33;

using ListIdentityRequest = std::array<std::uint8_t, kListIdentityRequestSize>;

// The 24-byte header with command 0x0063 and length 0; session handle,
// status, sender context and options 0.
ListIdentityRequest BuildListIdentity();

struct CpfItem {
  std::uint16_t type = 0;
  std::span<const std::uint8_t> data;  // inside the bytes parsed
};

// The item count at the start of `data` and that many items, each of which
// must lie wholly inside `data`. Bytes after the last counted item are left
// alone.
[[nodiscard]] std::optional<std::vector<CpfItem>> ParseCpfItems(std::span<const std::uint8_t> data);

struct CipIdentity {
  std::uint16_t protocolVersion = 0;
  // The device's own view of its address, as it put it in the item.
  std::uint16_t socketFamily = 0;
  std::uint16_t socketPort = 0;
  std::uint32_t socketAddress = 0;  // host order
  std::uint16_t vendorId = 0;
  std::uint16_t deviceType = 0;
  std::uint16_t productCode = 0;
  std::uint8_t revisionMajor = 0;
  std::uint8_t revisionMinor = 0;
  std::uint16_t status = 0;
  std::uint32_t serialNumber = 0;
  std::string productName;  // the bytes as sent
  // Some devices end the item after the name; their state is not known.
  std::optional<std::uint8_t> state;

  bool operator==(const CipIdentity&) const = default;
};

// The data of one CIP Identity item. Fails when the fixed fields or the
// counted name do not fit in the item.
[[nodiscard]] std::optional<CipIdentity> ParseIdentityItem(std::span<const std::uint8_t> item);

// A whole List Identity reply as received: command 0x0063, status 0, a length
// that the received bytes hold, and a first CIP Identity item that parses.
// Nothing past the header's length is read.
[[nodiscard]] std::optional<CipIdentity> ParseListIdentityReply(std::span<const std::uint8_t> reply);

// The product name for a window: ISO 8859-1 as sent, turned into UTF-8, with
// control characters shown as '?'.
std::string ProductNameText(const CipIdentity& identity);

}  // namespace corvessa
