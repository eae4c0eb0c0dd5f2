#pragma once
// Cutting CSV records into fields, and quoting fields for writing.
//
// The format itself has no quoting: a comma always separates fields. This
// program quotes a text only when it holds a comma, a double quote or a line
// break (doubling each quote inside), and the reader removes quotes only
// where this writer would have put them: a field that starts with a quote,
// ends with the matching closing quote right before a comma or the end of
// the record, is no longer than this program ever writes one, and holds one
// of those characters. Any other quote is an ordinary character, so "plc1"
// in quotes stays "plc1" in quotes, and an inch mark stays an inch mark.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvessa {

// The longest quoted field this program writes: a 255-byte description of
// nothing but quotes, each doubled, between its own two quotes. The reader
// never looks further for a closing quote, which keeps reading linear.
inline constexpr std::size_t kMaxQuotedFieldSize = 2 * 255 + 2;

// Cuts `text` at every character of `separators`. Empty fields are kept: a
// text that ends with a separator gets one more, empty field, and an empty
// text is one empty field. No quoting of any kind.
std::vector<std::string> SplitFields(std::string_view text, std::string_view separators);

// Would the writer quote this text?
bool NeedsCsvQuotes(std::string_view text);

// The field as written to a file: enclosed in double quotes, with each quote
// inside doubled, when it holds a comma, a double quote or a line break;
// otherwise as it is.
std::string QuoteCsvField(std::string_view field);

// One field of a record.
struct CsvField {
  std::string_view raw;  // as it stands in the file
  bool quoted = false;   // quoted as this program writes it

  // The field's text: `raw`, or for a quoted field the text between the
  // quotes with each doubled quote made single.
  std::string Text() const;
};

// Walks the fields of one record (a line, or a record whose quoted fields
// hold line breaks) from the first to the last.
class CsvFieldCursor {
 public:
  explicit CsvFieldCursor(std::string_view record) : record_(record) {}
  // The next field; false after the last one.
  [[nodiscard]] bool Next(CsvField& field);

 private:
  std::string_view record_;
  std::size_t position_ = 0;
  bool done_ = false;
};

// The number of fields of a record, counted without cutting it; counting
// stops once it passes `stopAfter`.
std::size_t CountCsvFields(std::string_view record, std::size_t stopAfter);

// Every field's text, for tests and tools; the reader walks with the cursor.
std::vector<std::string> SplitCsvFields(std::string_view record);

// Where the quoted field that starts at `text[start]` (a double quote) has
// its closing quote: the first quote that is not half of a doubled one, if
// the field would be no longer than kMaxQuotedFieldSize. npos otherwise.
std::size_t FindClosingQuote(std::string_view text, std::size_t start);

}  // namespace corvessa
