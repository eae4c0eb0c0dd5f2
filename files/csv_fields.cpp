#include "files/csv_fields.h"

#include <algorithm>

namespace corvessa {
namespace {

constexpr char kSeparator = ',';
constexpr char kQuote = '"';
constexpr std::string_view kNeedQuotes = ",\"\r\n";

}  // namespace

std::vector<std::string> SplitFields(std::string_view text, std::string_view separators) {
  std::vector<std::string> fields;
  const std::size_t n = text.size();
  std::size_t start = 0;
  while (start < n) {
    const std::size_t end = std::min(text.find_first_of(separators, start), n);
    fields.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (n == 0 || separators.find(text[n - 1]) != std::string_view::npos) fields.emplace_back();
  return fields;
}

bool NeedsCsvQuotes(std::string_view text) { return text.find_first_of(kNeedQuotes) != std::string_view::npos; }

std::string QuoteCsvField(std::string_view field) {
  if (!NeedsCsvQuotes(field)) return std::string(field);
  std::string quoted(1, kQuote);
  for (const char c : field) {
    if (c == kQuote) quoted += kQuote;
    quoted += c;
  }
  quoted += kQuote;
  return quoted;
}

std::string CsvField::Text() const {
  if (!quoted) return std::string(raw);
  std::string text;
  const std::string_view inside = raw.substr(1, raw.size() - 2);
  text.reserve(inside.size());
  for (std::size_t i = 0; i < inside.size(); ++i) {
    text += inside[i];
    if (inside[i] == kQuote) ++i;  // the second half of a doubled quote
  }
  return text;
}

std::size_t FindClosingQuote(std::string_view text, std::size_t start) {
  const std::size_t limit = std::min(text.size(), start + kMaxQuotedFieldSize);
  std::size_t i = start + 1;
  while (i < limit) {
    const std::size_t quote = text.find(kQuote, i);
    if (quote == std::string_view::npos || quote >= limit) return std::string_view::npos;
    if (quote + 1 < text.size() && text[quote + 1] == kQuote) {
      i = quote + 2;  // a doubled quote is text
      continue;
    }
    return quote;
  }
  return std::string_view::npos;
}

bool CsvFieldCursor::Next(CsvField& field) {
  if (done_) return false;
  const std::size_t start = position_;
  if (start < record_.size() && record_[start] == kQuote) {
    const std::size_t close = FindClosingQuote(record_, start);
    if (close != std::string_view::npos && (close + 1 == record_.size() || record_[close + 1] == kSeparator) &&
        NeedsCsvQuotes(record_.substr(start + 1, close - start - 1))) {
      field = {record_.substr(start, close + 1 - start), true};
      position_ = close + 1;
      if (position_ == record_.size()) {
        done_ = true;
      } else {
        ++position_;  // past the comma; a comma at the end leaves one empty field
      }
      return true;
    }
  }
  const std::size_t end = std::min(record_.find(kSeparator, start), record_.size());
  field = {record_.substr(start, end - start), false};
  if (end == record_.size()) {
    done_ = true;
  } else {
    position_ = end + 1;
  }
  return true;
}

std::size_t CountCsvFields(std::string_view record, std::size_t stopAfter) {
  CsvFieldCursor cursor(record);
  CsvField field;
  std::size_t count = 0;
  while (count <= stopAfter && cursor.Next(field)) ++count;
  return count;
}

std::vector<std::string> SplitCsvFields(std::string_view record) {
  std::vector<std::string> fields;
  CsvFieldCursor cursor(record);
  CsvField field;
  while (cursor.Next(field)) fields.push_back(field.Text());
  return fields;
}

}  // namespace corvessa
