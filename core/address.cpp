#include "core/address.h"

#include <arpa/inet.h>

#include <cstdio>

namespace corvessa {
namespace {

constexpr std::uint32_t kClassAMask = 0xFF000000u;
constexpr std::uint32_t kClassBMask = 0xFFFF0000u;
constexpr std::uint32_t kClassCMask = 0xFFFFFF00u;
constexpr std::uint32_t kLoopbackNet = 127;
constexpr int kMinMaskPrefix = 8;
constexpr int kMacLength = 6;

std::uint32_t Combine(const int (&parts)[4]) {
  std::uint32_t value = 0;
  for (const int part : parts) {
    value = (value << 8) | (static_cast<std::uint32_t>(part) & 0xFFu);
  }
  return value;
}

// Reads "%d.%d.%d.%d" from a 0-terminated copy: the view need not be
// terminated, and sscanf would read on past its end.
bool ScanFour(const std::string& text, int (&parts)[4]) {
  return std::sscanf(text.c_str(), "%d.%d.%d.%d", &parts[0], &parts[1], &parts[2],
                     &parts[3]) == 4;
}

int HexNibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string IpToText(std::uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", (address >> 24) & 0xFFu,
                (address >> 16) & 0xFFu, (address >> 8) & 0xFFu, address & 0xFFu);
  return text;
}

bool TextToIp(std::string_view text, std::uint32_t& address) {
  address = 0;
  const std::string input(text);
  int parts[4] = {};
  if (!ScanFour(input, parts)) return false;
  for (int& part : parts) part &= 0xFF;

  // Formatting back and comparing rejects leading zeros, signs, blanks,
  // numbers above 255 and trailing text.
  char again[16];
  std::snprintf(again, sizeof again, "%d.%d.%d.%d", parts[0], parts[1], parts[2], parts[3]);
  if (input != again) return false;

  const std::uint32_t value = Combine(parts);
  if (!IsValidIp(value)) return false;
  address = value;
  return true;
}

bool TextToMask(std::string_view text, std::uint32_t& mask) {
  mask = 0;
  int parts[4] = {};
  if (!ScanFour(std::string(text), parts)) return false;
  const std::uint32_t value = Combine(parts);
  if (!IsValidMask(value)) return false;
  mask = value;
  return true;
}

bool IsValidIp(std::uint32_t address) {
  const std::uint32_t first = address >> 24;
  if (first == kLoopbackNet) return false;

  std::uint32_t mask = 0;
  if ((address & 0x80000000u) == 0) {
    mask = kClassAMask;
  } else if ((address & 0xC0000000u) == 0x80000000u) {
    mask = kClassBMask;
  } else if ((address & 0xE0000000u) == 0xC0000000u) {
    mask = kClassCMask;
  } else {
    return false;  // class D and E
  }

  const std::uint32_t network = address & mask;
  const std::uint32_t host = address & ~mask;
  return host != 0 && network != 0 && host != (~mask);
}

bool IsValidMask(std::uint32_t mask) {
  if (mask == 0 || (mask & 1u) != 0) return false;
  int trailing = 0;
  while (((mask >> trailing) & 1u) == 0) ++trailing;
  if (trailing > 32 - kMinMaskPrefix) return false;
  const std::uint32_t expected = ~((1u << trailing) - 1u);
  return mask == expected;
}

bool SameSubnet(std::uint32_t mask, std::uint32_t a, std::uint32_t b) {
  return (a & mask) == (b & mask);
}

std::string MacToText(const std::uint8_t* bytes, std::size_t length) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  if (length == 0 || bytes == nullptr) return text;
  text.reserve(length * 3);
  for (std::size_t i = 0; i < length; ++i) {
    if (i != 0) text += ':';
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 0x0F];
  }
  return text;
}

bool TextToMac(std::string_view text, std::uint8_t* buffer, std::uint8_t& length) {
  if (text.empty()) return false;
  const std::size_t capacity = length;
  // With no room the first character already fails the capacity check.
  if (capacity == 0) return false;
  for (std::size_t i = 0; i < capacity; ++i) buffer[i] = 0;

  std::size_t nibbles = 0;
  for (const char c : text) {
    const int nibble = HexNibble(c);
    if (nibble >= 0) {
      const std::size_t index = nibbles / 2;
      if (nibbles % 2 == 0) {
        buffer[index] = static_cast<std::uint8_t>(nibble << 4);
      } else {
        buffer[index] = static_cast<std::uint8_t>(buffer[index] | nibble);
      }
      ++nibbles;
    }
    // Checked after every character, so the buffer is never written past its
    // capacity.
    if (nibbles / 2 >= capacity) return false;
  }

  length = static_cast<std::uint8_t>(nibbles / 2);
  if (nibbles % 2 != 0) return false;
  return IsValidMacLength(length);
}

bool IsValidMacLength(int length) { return length == kMacLength; }

std::optional<std::uint32_t> ParseDottedIp(std::string_view text) {
  const std::string terminated(text);
  in_addr parsed{};
  if (::inet_pton(AF_INET, terminated.c_str(), &parsed) != 1) return std::nullopt;
  return ntohl(parsed.s_addr);
}

}  // namespace corvessa
