#pragma once
// Conversion of "Text (*.a)|*.a|Text (*.b;*.c)|*.b;*.c||" filter lists into
// the name filters of Qt's file dialog. No Qt here: plain text in, plain text
// out.

#include <string>
#include <string_view>
#include <vector>

namespace corvessa {

// One Qt name filter per complete (text, pattern) pair, in order: the text
// without a trailing "(...)" of its own, then the patterns in parentheses,
// separated by blanks ("*.*" becomes "*", which also matches names without a
// dot). Reading stops at the empty entry of "||"; a text without its pattern
// is dropped.
[[nodiscard]] std::vector<std::string> ToQtNameFilters(std::string_view filter);

}  // namespace corvessa
