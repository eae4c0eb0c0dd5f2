#pragma once
// Cutting CSV lines into fields, and quoting fields for writing.

#include <string>
#include <string_view>
#include <vector>

namespace corvessa {

// Cuts `text` at every character of `separators`. Empty fields are kept: a
// text that ends with a separator gets one more, empty field, and an empty
// text is one empty field. No quoting of any kind.
std::vector<std::string> SplitFields(std::string_view text, std::string_view separators);

// A relation line. A field that starts with a double quote runs to its
// closing quote: commas inside it are text and a doubled quote is one quote.
// A quote anywhere else is an ordinary character. A line whose quoting does
// not parse (no closing quote, or text between the closing quote and the
// next comma) is cut exactly as SplitFields cuts it, as is every line
// without quotes, so files written without quoting read as they always did.
std::vector<std::string> SplitCsvFields(std::string_view line);

// The field as written to a file: enclosed in double quotes, with each quote
// inside doubled, when it holds a comma or a double quote; otherwise as it is.
std::string QuoteCsvField(std::string_view field);

}  // namespace corvessa
