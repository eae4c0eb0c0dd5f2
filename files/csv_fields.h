#pragma once
// Cutting CSV records into fields, and quoting fields for writing.

#include <cstddef>
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

// Where the relation record that starts at `begin` ends: at the first CR or
// LF outside a quoted field, so a quoted field may hold line breaks. When the
// quoting of the record does not parse that way (a quote left open to the end
// of the text, or text after a closing quote), the record is the line alone,
// as it always was. Returns an index in [begin, text.size()].
std::size_t CsvRecordEnd(std::string_view text, std::size_t begin);

// The field as written to a file: enclosed in double quotes, with each quote
// inside doubled, when it holds a comma, a double quote or a line break;
// otherwise as it is.
std::string QuoteCsvField(std::string_view field);

}  // namespace corvessa
