#include "files/csv_fields.h"

#include <algorithm>
#include <optional>

namespace corvessa {
namespace {

constexpr char kSeparator = ',';
constexpr char kQuote = '"';
constexpr std::string_view kLineBreaks = "\r\n";

// The quote-aware cut; nothing when a quoted field is not closed properly.
std::optional<std::vector<std::string>> SplitQuoted(std::string_view line) {
  std::vector<std::string> fields;
  std::size_t position = 0;
  for (;;) {
    std::size_t next = 0;  // the character after the field
    if (position < line.size() && line[position] == kQuote) {
      std::string field;
      std::size_t i = position + 1;
      for (;;) {
        if (i >= line.size()) return std::nullopt;
        if (line[i] == kQuote) {
          if (i + 1 < line.size() && line[i + 1] == kQuote) {
            field += kQuote;
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += line[i++];
      }
      if (i < line.size() && line[i] != kSeparator) return std::nullopt;
      fields.push_back(std::move(field));
      next = i;
    } else {
      next = std::min(line.find(kSeparator, position), line.size());
      fields.emplace_back(line.substr(position, next - position));
    }
    if (next >= line.size()) return fields;
    position = next + 1;  // past the comma; a comma at the end leaves one empty field
    if (position == line.size()) {
      fields.emplace_back();
      return fields;
    }
  }
}

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

std::vector<std::string> SplitCsvFields(std::string_view line) {
  if (line.find(kQuote) != std::string_view::npos) {
    if (auto fields = SplitQuoted(line)) return std::move(*fields);
  }
  return SplitFields(line, std::string_view(&kSeparator, 1));
}

std::size_t CsvRecordEnd(std::string_view text, std::size_t begin) {
  const std::size_t size = text.size();
  const std::size_t lineEnd = std::min(text.find_first_of(kLineBreaks, begin), size);
  bool fieldStart = true;
  bool inQuotes = false;
  bool afterQuote = false;
  for (std::size_t i = begin; i < size; ++i) {
    const char c = text[i];
    if (inQuotes) {
      if (c != kQuote) continue;
      if (i + 1 < size && text[i + 1] == kQuote) {
        ++i;
        continue;
      }
      inQuotes = false;
      afterQuote = true;
      continue;
    }
    const bool breaks = c == '\r' || c == '\n';
    if (afterQuote && c != kSeparator && !breaks) return lineEnd;
    afterQuote = false;
    if (breaks) return i;
    if (c == kSeparator) {
      fieldStart = true;
      continue;
    }
    inQuotes = fieldStart && c == kQuote;
    fieldStart = false;
  }
  return inQuotes ? lineEnd : size;
}

std::string QuoteCsvField(std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
  std::string quoted(1, kQuote);
  for (const char c : field) {
    if (c == kQuote) quoted += kQuote;
    quoted += c;
  }
  quoted += kQuote;
  return quoted;
}

}  // namespace corvessa
