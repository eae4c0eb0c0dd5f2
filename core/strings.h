#pragma once
// The string table: every text the user sees, by its number, and the few
// unnumbered texts as named constants. Formatting is printf-style.

#include <cstdio>
#include <string>
#include <string_view>
#include <type_traits>

namespace corvessa {

// The text with this number, or an empty view when the table has none.
std::string_view LoadString(int id);
bool HasString(int id);

// printf-style formatting into a std::string.
template <typename... Args>
std::string FormatText(std::string_view format, Args... args) {
  // With nothing to fill in, the text is used as it is: handing it to printf
  // as a format would misread any '%' in it.
  // printf cannot take class objects: a std::string_view would be read as a
  // pointer. Pass .c_str() or .data() of a 0-terminated text instead.
  static_assert(((std::is_arithmetic_v<Args> || std::is_enum_v<Args> ||
                  std::is_pointer_v<Args>) && ...),
                "FormatText takes numbers and C strings only");
  if constexpr (sizeof...(Args) == 0) {
    return std::string(format);
  } else {
    const std::string fmt(format);
    const int n = std::snprintf(nullptr, 0, fmt.c_str(), args...);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), fmt.c_str(), args...);
    out.resize(static_cast<std::size_t>(n));
    return out;
  }
}

template <typename... Args>
std::string FormatString(int id, Args... args) {
  return FormatText(LoadString(id), args...);
}

}  // namespace corvessa

// Numbered string IDs and unnumbered texts live in core/string_ids.h.
#include "core/string_ids.h"
