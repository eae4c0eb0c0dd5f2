#pragma once
// ASCII letter case, as the protocols and file formats compare texts: only
// A-Z and a-z are folded; every other byte, UTF-8 included, compares as it is.

#include <algorithm>
#include <string>
#include <string_view>

namespace corvessa {

constexpr char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// < 0, 0 or > 0 as `a` sorts before, with or after `b`, letters folded to
// lower case and bytes compared unsigned; a prefix sorts first.
constexpr int CompareIgnoringAsciiCase(std::string_view a, std::string_view b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    const int diff = static_cast<unsigned char>(FoldAscii(a[i])) - static_cast<unsigned char>(FoldAscii(b[i]));
    if (diff != 0) return diff;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareIgnoringAsciiCase(a, b) == 0;
}

constexpr bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

constexpr bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualsIgnoringAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}

inline std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), FoldAscii);
  return lower;
}

}  // namespace corvessa
