#include "files/csv_records.h"

#include <algorithm>
#include <utility>

#include "files/csv_fields.h"

namespace corvessa {
namespace {

constexpr char kSeparator = ',';
constexpr char kQuote = '"';
constexpr std::string_view kLineEnds = "\r\n";

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

std::size_t LineEnd(std::string_view text, std::size_t from) {
  return std::min(text.find_first_of(kLineEnds, from), text.size());
}

// Does a quoted field open in this line and not close before its end? Only
// such a line can start a record of several lines. The fields are walked as
// the line would be read alone.
bool EndsInsideAQuotedField(std::string_view line) {
  std::size_t start = 0;
  for (;;) {
    if (start < line.size() && line[start] == kQuote &&
        FindClosingQuote(line, start) == std::string_view::npos && line.size() - start < kMaxQuotedFieldSize) {
      return true;
    }
    CsvFieldCursor cursor(line.substr(start));
    CsvField field;
    if (!cursor.Next(field)) return false;
    start += field.raw.size();
    if (start >= line.size()) return false;
    ++start;  // the comma
  }
}

}  // namespace

CsvRecordCursor::CsvRecordCursor(std::string_view body, std::size_t fieldCount,
                                 std::function<bool(std::string_view line)> loadsOnItsOwn)
    : body_(body), fieldCount_(fieldCount), loadsOnItsOwn_(std::move(loadsOnItsOwn)) {}

bool CsvRecordCursor::Next(std::string_view& record) {
  while (position_ < body_.size()) {
    const std::size_t start = position_;
    const std::size_t lineEnd = LineEnd(body_, start);
    if (lineEnd == start) {  // an empty line, or the LF of a CR LF
      ++position_;
      continue;
    }
    std::size_t end = lineEnd;
    if (lineEnd < body_.size() && EndsInsideAQuotedField(body_.substr(start, lineEnd - start))) {
      const std::size_t merged = MultiLineRecordEnd(start, lineEnd);
      if (merged != std::string_view::npos && !SwallowsALoadableLine(lineEnd, merged)) end = merged;
    }
    record = body_.substr(start, end - start);
    position_ = end + 1;
    return true;
  }
  return false;
}

std::size_t CsvRecordCursor::MultiLineRecordEnd(std::size_t start, std::size_t lineEnd) const {
  constexpr std::size_t kNone = std::string_view::npos;
  std::size_t position = start;
  std::size_t fields = 0;
  for (;;) {
    if (position < body_.size() && body_[position] == kQuote) {
      const std::size_t close = FindClosingQuote(body_, position);
      if (close == kNone) return kNone;
      const std::size_t after = close + 1;
      if (after < body_.size() && body_[after] != kSeparator && !IsLineEnd(body_[after])) return kNone;
      if (!NeedsCsvQuotes(body_.substr(position + 1, close - position - 1))) return kNone;
      position = after;
    } else {
      // The writer quotes every text with a quote in it.
      position = std::min(body_.find_first_of(",\"\r\n", position), body_.size());
      if (position < body_.size() && body_[position] == kQuote) return kNone;
    }
    if (++fields > fieldCount_) return kNone;
    if (position == body_.size() || IsLineEnd(body_[position])) break;
    ++position;  // the comma
  }
  // Only a quoted line break makes a record of several lines.
  if (fields != fieldCount_ || position <= lineEnd) return kNone;
  return position;
}

bool CsvRecordCursor::SwallowsALoadableLine(std::size_t lineEnd, std::size_t recordEnd) const {
  for (std::size_t start = lineEnd + 1; start < recordEnd;) {
    const std::size_t end = LineEnd(body_, start);
    if (end > start && loadsOnItsOwn_(body_.substr(start, end - start))) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace corvessa
