#include "ui/widgets/file_filter.h"

namespace corvessa {

namespace {

constexpr char kSeparator = '|';
constexpr char kPatternSeparator = ';';
constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kAnyFilePattern = "*.*";
constexpr std::string_view kQtAnyFilePattern = "*";

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

// "Bootp Config Files (*.bpc)" -> "Bootp Config Files": Qt reads the patterns
// from the last parenthesised group, so the text must not carry one of its own.
std::string_view WithoutOwnPatterns(std::string_view text) {
  text = Trim(text);
  if (text.empty() || text.back() != ')') return text;
  const std::size_t open = text.rfind('(');
  if (open == std::string_view::npos) return text;
  return Trim(text.substr(0, open));
}

std::string QtPatterns(std::string_view patterns) {
  std::string out;
  while (!patterns.empty()) {
    const std::size_t end = patterns.find(kPatternSeparator);
    std::string_view one = Trim(patterns.substr(0, end));
    patterns = end == std::string_view::npos ? std::string_view{} : patterns.substr(end + 1);
    if (one.empty()) continue;
    if (one == kAnyFilePattern) one = kQtAnyFilePattern;
    if (!out.empty()) out += ' ';
    out += one;
  }
  return out;
}

}  // namespace

std::vector<std::string> ToQtNameFilters(std::string_view filter) {
  std::vector<std::string> entries;
  while (!filter.empty()) {
    const std::size_t end = filter.find(kSeparator);
    const std::string_view entry = filter.substr(0, end);
    if (entry.empty()) break;  // "||" ends the list
    entries.emplace_back(entry);
    if (end == std::string_view::npos) break;
    filter = filter.substr(end + 1);
  }

  std::vector<std::string> names;
  for (std::size_t i = 0; i + 1 < entries.size(); i += 2) {
    const std::string patterns = QtPatterns(entries[i + 1]);
    if (patterns.empty()) continue;
    std::string name(WithoutOwnPatterns(entries[i]));
    if (!name.empty()) name += ' ';
    name += '(' + patterns + ')';
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace corvessa
