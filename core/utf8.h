#pragma once
// Cutting a UTF-8 text to a byte limit without leaving half a character.

#include <cstddef>
#include <string_view>

namespace corvessa {

// At most `size` bytes of `text`. A character that straddles the limit goes
// whole, so a stored text never ends in half a character; bytes that are no
// UTF-8 sequence are cut where they stand.
inline std::string_view CutUtf8(std::string_view text, std::size_t size) {
  constexpr unsigned char kContinuationMask = 0xC0;
  constexpr unsigned char kContinuationBits = 0x80;
  constexpr std::size_t kLongestSequence = 4;
  if (text.size() <= size) return text;
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  std::size_t back = 0;
  while (back < kLongestSequence - 1 && back < size && (byte(size - back) & kContinuationMask) == kContinuationBits) {
    ++back;
  }
  if (back > 0 && (byte(size - back) & kContinuationMask) == kContinuationMask) return text.substr(0, size - back);
  return text.substr(0, size);
}

}  // namespace corvessa
