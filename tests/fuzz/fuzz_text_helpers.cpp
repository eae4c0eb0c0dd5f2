// The address texts: TextToIp, TextToMask and TextToMac on arbitrary text, and
// MacToText / IpToText read back through them. Each result is checked against
// a small reference reading written here from the rules, not from the code.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/address.h"
#include "tests/fuzz/fuzz_support.h"

namespace corvessa::fuzz {
namespace {

// The value of a text of exactly four dot-separated decimal numbers 0..255
// without signs, blanks or leading zeros; nothing for any other text.
std::optional<std::uint32_t> CanonicalDottedQuad(std::string_view text) {
  std::uint32_t value = 0;
  std::size_t position = 0;
  for (int part = 0; part < 4; ++part) {
    if (part != 0) {
      if (position >= text.size() || text[position] != '.') return std::nullopt;
      ++position;
    }
    const std::size_t start = position;
    unsigned number = 0;
    while (position < text.size() && text[position] >= '0' && text[position] <= '9' && position - start < 4) {
      number = number * 10 + static_cast<unsigned>(text[position] - '0');
      ++position;
    }
    const std::size_t digits = position - start;
    if (digits == 0 || digits > 3 || number > 255 || (digits > 1 && text[start] == '0')) return std::nullopt;
    value = (value << 8) | number;
  }
  if (position != text.size()) return std::nullopt;
  return value;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::uint8_t HexValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
  return static_cast<std::uint8_t>(c - 'A' + 10);
}

// Contiguous masks with prefix lengths 8 to 31.
bool IsPrefixMask(std::uint32_t mask) {
  for (int prefix = 8; prefix <= 31; ++prefix) {
    if (mask == (0xFFFFFFFFu << (32 - prefix))) return true;
  }
  return false;
}

void CheckTextToIp(std::string_view text) {
  std::uint32_t address = 0xDEADBEEFu;
  const bool ok = TextToIp(text, address);
  const auto canonical = CanonicalDottedQuad(text);
  const bool expected = canonical.has_value() && IsValidIp(*canonical);
  FUZZ_CHECK(ok == expected);
  if (ok) {
    FUZZ_CHECK(address == *canonical);
    FUZZ_CHECK(IpToText(address) == text);
  } else {
    FUZZ_CHECK(address == 0);
  }
}

void CheckTextToMask(std::string_view text) {
  std::uint32_t mask = 0xDEADBEEFu;
  const bool ok = TextToMask(text, mask);
  FUZZ_CHECK(ok ? IsValidMask(mask) : mask == 0);
  // A plain dotted text reads as its value whenever that is a mask.
  if (const auto canonical = CanonicalDottedQuad(text)) {
    FUZZ_CHECK(ok == IsValidMask(*canonical));
    if (ok) FUZZ_CHECK(mask == *canonical);
  }
}

// TextToMac with a buffer of exactly `capacity` bytes, so that a write past
// the capacity lands in the allocator's red zone.
void CheckTextToMac(std::string_view text, std::uint8_t capacity) {
  const std::size_t allocated = capacity == 0 ? 1 : capacity;
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[allocated]);
  std::fill_n(buffer.get(), allocated, std::uint8_t{0xA5});
  std::uint8_t length = capacity;
  const bool ok = TextToMac(text, buffer.get(), length);

  std::size_t digits = 0;
  for (const char c : text) digits += IsHexDigit(c) ? 1 : 0;
  // Exactly twelve hexadecimal digits, and room for more than six bytes
  // because the capacity check comes after each character.
  FUZZ_CHECK(ok == (digits == 12 && capacity > 6));
  if (!ok) return;

  FUZZ_CHECK(length == 6);
  std::uint8_t expected[6] = {};
  std::size_t nibble = 0;
  for (const char c : text) {
    if (!IsHexDigit(c)) continue;
    const int shift = nibble % 2 == 0 ? 4 : 0;  // high nibble first
    expected[nibble / 2] = static_cast<std::uint8_t>(expected[nibble / 2] | (HexValue(c) << shift));
    ++nibble;
  }
  for (std::size_t i = 0; i < 6; ++i) FUZZ_CHECK(buffer[i] == expected[i]);
  for (std::size_t i = 6; i < capacity; ++i) FUZZ_CHECK(buffer[i] == 0);

  // The shown text reads back to the same bytes.
  const std::string shown = MacToText(buffer.get(), 6);
  FUZZ_CHECK(shown.size() == 17);
  std::uint8_t again[kMacCapacity] = {};
  std::uint8_t againLength = kMacCapacity;
  FUZZ_CHECK(TextToMac(shown, again, againLength));
  FUZZ_CHECK(againLength == 6);
  for (std::size_t i = 0; i < 6; ++i) FUZZ_CHECK(again[i] == buffer[i]);
}

// MacToText of up to 16 input bytes: upper-case pairs joined by ':'.
void CheckMacToText(std::span<const std::uint8_t> bytes) {
  const std::size_t count = std::min(bytes.size(), kMacCapacity);
  const std::string text = MacToText(bytes.data(), count);
  FUZZ_CHECK(text.size() == (count == 0 ? 0 : 3 * count - 1));
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < count; ++i) {
    FUZZ_CHECK(text[3 * i] == kHex[bytes[i] >> 4]);
    FUZZ_CHECK(text[3 * i + 1] == kHex[bytes[i] & 0x0F]);
    if (i + 1 < count) FUZZ_CHECK(text[3 * i + 2] == ':');
  }
  std::uint8_t read[kMacCapacity] = {};
  std::uint8_t length = kMacCapacity;
  FUZZ_CHECK(TextToMac(text, read, length) == (count == 6));
}

// IpToText of the first four bytes reads back exactly when the address is valid.
void CheckIpToText(std::span<const std::uint8_t> bytes) {
  std::uint32_t address = 0;
  for (std::size_t i = 0; i < 4; ++i) address = (address << 8) | (i < bytes.size() ? bytes[i] : 0);
  const std::string text = IpToText(address);
  std::uint32_t read = 0;
  const bool ok = TextToIp(text, read);
  FUZZ_CHECK(ok == IsValidIp(address));
  if (ok) FUZZ_CHECK(read == address);
  FUZZ_CHECK(IsValidMask(address) == IsPrefixMask(address));
}

}  // namespace
}  // namespace corvessa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvessa::fuzz;
  // A copy of exactly the input's size: a read past the text's end is caught.
  std::unique_ptr<char[]> guarded(new char[size == 0 ? 1 : size]);
  std::copy_n(data, size, guarded.get());
  const std::string_view text(guarded.get(), size);

  CheckTextToIp(text);
  CheckTextToMask(text);
  CheckTextToMac(text, static_cast<std::uint8_t>(corvessa::kMacCapacity));
  CheckTextToMac(text, static_cast<std::uint8_t>(size % (corvessa::kMacCapacity + 1)));
  CheckMacToText(std::span(data, size));
  CheckIpToText(std::span(data, size));
  return 0;
}
