#pragma once
// IPv4 and hardware address helpers. IPv4 addresses are held in host order:
// the first number of the dotted form is the most significant byte.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvessa {

// Capacity every caller hands to TextToMac, and the size of every hardware
// address buffer.
inline constexpr std::size_t kMacCapacity = 16;

std::string IpToText(std::uint32_t address);

// "%d.%d.%d.%d" read as scanf does, then formatted back and compared with the
// input, so leading zeros, signs, blanks and trailing text fail. On failure
// `address` is 0.
[[nodiscard]] bool TextToIp(std::string_view text, std::uint32_t& address);

// A dotted IPv4 address as the system's own parser reads it (inet_pton:
// four decimal numbers of 0 to 255, nothing else), with no validity test;
// nothing for any other text.
[[nodiscard]] std::optional<std::uint32_t> ParseDottedIp(std::string_view text);

// Like TextToIp but lax: no round trip, each number keeps its low 8 bits.
[[nodiscard]] bool TextToMask(std::string_view text, std::uint32_t& mask);

// Classful validity test of a host address.
bool IsValidIp(std::uint32_t address);
// Contiguous masks with prefix lengths 8 to 31.
bool IsValidMask(std::uint32_t mask);
bool SameSubnet(std::uint32_t mask, std::uint32_t a, std::uint32_t b);

// "00:1D:9C:C8:12:34"; `length` bytes are shown.
std::string MacToText(const std::uint8_t* bytes, std::size_t length);

// `length` holds the capacity of `buffer` on entry and the number of complete
// bytes read on return. Any non-hex character is skipped. Succeeds only for
// exactly six bytes.
[[nodiscard]] bool TextToMac(std::string_view text, std::uint8_t* buffer, std::uint8_t& length);

bool IsValidMacLength(int length);

}  // namespace corvessa
