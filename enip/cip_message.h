#pragma once
// Unconnected CIP requests carried in SendRRData, and the reply item that
// answers them. Requests address one attribute by three 8-bit logical
// segments (class, instance, attribute).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "enip/encap_message.h"

namespace corvessa {

// Services
inline constexpr std::uint8_t kCipGetAttributeSingle = 0x0E;
inline constexpr std::uint8_t kCipSetAttributeSingle = 0x10;
inline constexpr std::uint8_t kCipReplyFlag = 0x80;

// Objects and attributes
inline constexpr std::uint8_t kTcpIpInterfaceClass = 0xF5;
inline constexpr std::uint8_t kEthernetLinkClass = 0xF6;
// Class some devices answer on when they do not know the standard one.
inline constexpr std::uint8_t FallbackClass = 0xAA;
inline constexpr std::uint8_t kClassInstance = 0;
inline constexpr std::uint8_t kMaxInstanceAttribute = 2;
inline constexpr std::uint8_t kConfigurationControlAttribute = 3;
inline constexpr std::uint8_t kPhysicalLinkAttribute = 4;
inline constexpr std::uint8_t kPhysicalAddressAttribute = 3;

// General status values
inline constexpr std::uint8_t kCipSuccess = 0x00;
inline constexpr std::uint8_t kCipPathDestinationUnknown = 0x05;

// Logical path segments (8-bit forms)
inline constexpr std::uint8_t kClassSegment = 0x20;
inline constexpr std::uint8_t kInstanceSegment = 0x24;
inline constexpr std::uint8_t kAttributeSegment = 0x30;
inline constexpr std::uint8_t kRequestPathWords = 3;

// Common packet format items
inline constexpr std::uint16_t kNullAddressItem = 0x0000;
inline constexpr std::uint16_t kUnconnectedDataItem = 0x00B2;
inline constexpr std::uint16_t kCipItemCount = 2;
inline constexpr std::uint16_t kCipRequestTimeout = 0x0400;

// SendRRData request layout
inline constexpr std::size_t kInterfaceHandleOffset = 24;
inline constexpr std::size_t kTimeoutOffset = 28;
inline constexpr std::size_t kItemCountOffset = 30;
inline constexpr std::size_t kFirstItemOffset = 32;
inline constexpr std::size_t kItemHeaderSize = 4;
inline constexpr std::size_t kServiceOffset = 40;
inline constexpr std::size_t kPathSizeOffset = 41;
inline constexpr std::size_t kPathOffset = 42;
inline constexpr std::size_t kClassByteOffset = 43;
inline constexpr std::size_t kInstanceByteOffset = 45;
inline constexpr std::size_t kAttributeByteOffset = 47;
inline constexpr std::size_t kAttributeValueOffset = 48;
inline constexpr std::size_t kGetAttributeSingleSize = 48;
inline constexpr std::size_t kSetAttributeSingleSize = 52;
// Unconnected data item body: service, path size, path (and the value).
inline constexpr std::size_t kGetRequestDataSize = 8;
inline constexpr std::size_t kSetRequestDataSize = 12;

// CipReply layout, offsets in the item data
inline constexpr std::size_t kReplyServiceOffset = 0;
inline constexpr std::size_t kReplyGeneralStatusOffset = 2;
inline constexpr std::size_t kReplyAdditionalSizeOffset = 3;
inline constexpr std::size_t kReplyDataOffset = 4;

struct CipPath {
  std::uint8_t cls = 0;
  std::uint8_t instance = 0;
  std::uint8_t attribute = 0;
};

using GetAttributeRequest = std::array<std::uint8_t, kGetAttributeSingleSize>;
using SetAttributeRequest = std::array<std::uint8_t, kSetAttributeSingleSize>;

GetAttributeRequest BuildGetAttributeSingle(std::uint32_t sessionHandle, CipPath path);
SetAttributeRequest BuildSetAttributeSingle(std::uint32_t sessionHandle, CipPath path,
                                            std::uint32_t value);

// Rewrites the class of a built request.
void SetRequestClass(std::span<std::uint8_t> request, std::uint8_t cls);
// Rewrites the value of a built Set_Attribute_Single request.
void SetRequestValue(std::span<std::uint8_t> request, std::uint32_t value);

// The data of an unconnected data item that answers a request. Holds at
// least the four fixed bytes; `data` ends where the item ends.
struct CipReply {
  std::span<const std::uint8_t> data;
  std::uint8_t generalStatus = 0;
  std::uint8_t additionalStatusWords = 0;
};

// Walks the counted items of a received reply; the first unconnected data
// item decides. Reads only the bytes in `reply`: an item whose declared length
// runs past them, or that is too short for the fixed reply fields, counts as
// no reply.
[[nodiscard]] std::optional<CipReply> FindReplyItem(std::span<const std::uint8_t> reply,
                                                    std::uint8_t service);

}  // namespace corvessa
