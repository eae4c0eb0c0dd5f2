#pragma once
// Byte layout of the .bpc configuration files. All integers are
// little-endian; addresses are the host-order values (first dotted number
// most significant) stored least significant byte first.

#include <cstddef>
#include <cstdint>

namespace corvessa::bpc {

inline constexpr std::uint32_t kMagic = 0x23456789;          // bytes 89 67 45 23
inline constexpr std::uint32_t kVersionWritten = 0x00030000;  // bytes 00 00 03 00
inline constexpr std::uint32_t kVersionMajorCurrent = 0x0003;  // upper 16 bits
inline constexpr std::uint32_t kVersionMajor22 = 0x0202;
inline constexpr std::uint32_t kVersionHeaderless = 0;  // magic followed by version 0

// Header of formats 3 and 2.2.
inline constexpr std::size_t kMagicOffset = 0;
inline constexpr std::size_t kVersionOffset = 4;
inline constexpr std::size_t kSubnetMaskOffset = 8;
inline constexpr std::size_t kGatewayOffset = 12;
inline constexpr std::size_t kDns1Offset = 16;
inline constexpr std::size_t kDns2Offset = 20;
inline constexpr std::size_t kDomainNameOffset = 24;
inline constexpr std::size_t kDomainNameSize = 32;
inline constexpr std::size_t kDomainNameLengthOffset = 56;
inline constexpr std::size_t kRecordCountOffset = 57;
inline constexpr std::size_t kHeaderSize = 61;

// Record of format 3.
inline constexpr std::size_t kHardwareAddressSize = 16;
inline constexpr std::size_t kRecordHardwareAddressOffset = 0;
inline constexpr std::size_t kRecordHardwareLengthOffset = 16;
inline constexpr std::size_t kRecordIpOffset = 17;
inline constexpr std::size_t kRecordHostnameOffset = 21;
inline constexpr std::size_t kHostnameSize = 32;
inline constexpr std::size_t kRecordHostnameLengthOffset = 53;
inline constexpr std::size_t kRecordDescriptionOffset = 54;
inline constexpr std::size_t kDescriptionSize = 255;
inline constexpr std::size_t kRecordDescriptionLengthOffset = 309;
inline constexpr std::size_t kRecordSize = 310;

// Record of format 2.2: the format 3 record without the description.
inline constexpr std::size_t kRecordSize22 = 54;

// Headerless layout: mask, gateway, count, then records of hardware address,
// its length, IP address and two 4-byte fields that are skipped.
inline constexpr std::size_t kHeaderlessMaskOffset = 0;
inline constexpr std::size_t kHeaderlessGatewayOffset = 4;
inline constexpr std::size_t kHeaderlessCountOffset = 8;
inline constexpr std::size_t kHeaderlessHeaderSize = 12;
inline constexpr std::size_t kHeaderlessIgnoredSize = 8;
inline constexpr std::size_t kRecordSizeHeaderless = 29;

}  // namespace corvessa::bpc

namespace corvessa::bpc {

static_assert(kRecordCountOffset + 4 == kHeaderSize);
static_assert(kRecordDescriptionLengthOffset + 1 == kRecordSize);
static_assert(kRecordHostnameLengthOffset + 1 == kRecordSize22);
static_assert(kHardwareAddressSize + 1 + 4 + kHeaderlessIgnoredSize == kRecordSizeHeaderless);

}  // namespace corvessa::bpc
