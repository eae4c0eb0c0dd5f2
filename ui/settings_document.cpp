#include "ui/settings_document.h"

#include <optional>
#include <utility>

namespace corvessa {

namespace {

constexpr std::string_view kDwordPrefix = "dword:";
constexpr std::size_t kDwordDigits = 8;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Reads a quoted text starting at `pos` (which must hold the opening quote);
// on success `pos` is just past the closing quote.
[[nodiscard]] std::optional<std::string> ParseQuoted(std::string_view line, std::size_t& pos) {
  if (pos >= line.size() || line[pos] != '"') return std::nullopt;
  std::string out;
  for (std::size_t i = pos + 1; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      pos = i + 1;
      return out;
    }
    if (c == '\\') {
      if (i + 1 >= line.size()) return std::nullopt;
      const char escaped = line[i + 1];
      if (escaped != '\\' && escaped != '"') return std::nullopt;
      out.push_back(escaped);
      ++i;
      continue;
    }
    out.push_back(c);
  }
  return std::nullopt;  // no closing quote
}

[[nodiscard]] std::optional<std::uint32_t> ParseDwordDigits(std::string_view digits) {
  if (digits.size() != kDwordDigits) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : digits) {
    std::uint32_t nibble = 0;
    if (c >= '0' && c <= '9') {
      nibble = static_cast<std::uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      nibble = static_cast<std::uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {  // hand-edited files may use upper case
      nibble = static_cast<std::uint32_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    value = (value << 4) | nibble;
  }
  return value;
}

[[nodiscard]] std::optional<SettingsValue> ParseValueLine(std::string_view line) {
  std::size_t pos = 0;
  auto name = ParseQuoted(line, pos);
  if (!name || pos >= line.size() || line[pos] != '=') return std::nullopt;
  ++pos;
  SettingsValue value;
  value.name = std::move(*name);
  const std::string_view rest = line.substr(pos);
  if (rest.starts_with(kDwordPrefix)) {
    const auto number = ParseDwordDigits(rest.substr(kDwordPrefix.size()));
    if (!number) return std::nullopt;
    value.isDword = true;
    value.dword = *number;
    return value;
  }
  auto text = ParseQuoted(line, pos);
  if (!text || pos != line.size()) return std::nullopt;
  value.text = std::move(*text);
  return value;
}

// Trailing blanks and the CR of a CRLF line end carry no meaning; files
// edited with other tools often have them.
std::string_view TrimLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
    line.remove_suffix(1);
  }
  return line;
}

void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  for (const char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
}

void AppendDword(std::string& out, std::uint32_t value) {
  constexpr char kHex[] = "0123456789abcdef";
  out.append(kDwordPrefix);
  for (int shift = 28; shift >= 0; shift -= 4) out.push_back(kHex[(value >> shift) & 0xFU]);
}

}  // namespace

std::string FormatValueLine(const SettingsValue& value) {
  std::string out;
  AppendQuoted(out, value.name);
  out.push_back('=');
  if (value.isDword) {
    AppendDword(out, value.dword);
  } else {
    AppendQuoted(out, value.text);
  }
  return out;
}

SettingsDocument SettingsDocument::Parse(std::string_view content) {
  SettingsDocument document;
  if (content.starts_with(kUtf8Bom)) {
    document.byteOrderMark_ = kUtf8Bom;
    content.remove_prefix(kUtf8Bom.size());
  }
  // Values belong to the section line above them; after a broken section
  // line they belong to none, so they cannot fall into the section before it.
  std::optional<std::string> current;
  while (!content.empty()) {
    const std::size_t end = content.find('\n');
    std::string_view raw = content.substr(0, end);
    content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);

    Line line;
    if (raw.ends_with('\r')) {
      line.crlf = true;
      raw.remove_suffix(1);
    }
    line.text = std::string(raw);
    const std::string_view trimmed = TrimLineEnd(raw);
    if (!trimmed.empty() && trimmed.front() == '[') {
      current.reset();
      if (trimmed.size() >= 2 && trimmed.back() == ']') {
        line.kind = Kind::Section;
        line.section = std::string(trimmed.substr(1, trimmed.size() - 2));
        current = line.section;
      }
    } else if (current && !trimmed.empty() && trimmed.front() != ';') {
      if (auto value = ParseValueLine(trimmed)) {
        line.kind = Kind::Value;
        line.section = *current;
        line.value = std::move(*value);
      }
    }
    document.lines_.push_back(std::move(line));
  }
  return document;
}

const SettingsValue* SettingsDocument::Find(std::string_view section, std::string_view name) const {
  for (auto line = lines_.rbegin(); line != lines_.rend(); ++line) {
    if (line->kind == Kind::Value && line->section == section && line->value.name == name) return &line->value;
  }
  return nullptr;
}

void SettingsDocument::Put(std::string_view section, SettingsValue value) {
  Line entry;
  entry.kind = Kind::Value;
  entry.section = std::string(section);
  entry.text = FormatValueLine(value);
  entry.value = std::move(value);

  // The line that gives the value now, else the place after the last line of
  // the section (its last value, or its section line).
  std::optional<std::size_t> anchor;
  for (std::size_t i = lines_.size(); i-- > 0;) {
    const Line& line = lines_[i];
    if (line.kind == Kind::Value && line.section == section && line.value.name == entry.value.name) {
      entry.crlf = line.crlf;
      lines_[i] = std::move(entry);
      return;
    }
    if (!anchor && line.kind != Kind::Other && line.section == section) anchor = i;
  }
  if (anchor) {
    entry.crlf = lines_[*anchor].crlf;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*anchor + 1), std::move(entry));
    return;
  }
  // A new section at the end, after a blank line, in the file's line ends.
  const bool crlf = !lines_.empty() && lines_.back().crlf;
  if (!lines_.empty() && !TrimLineEnd(lines_.back().text).empty()) {
    Line blank;
    blank.crlf = crlf;
    lines_.push_back(std::move(blank));
  }
  Line header;
  header.kind = Kind::Section;
  header.section = entry.section;
  header.text = "[" + entry.section + "]";
  header.crlf = crlf;
  entry.crlf = crlf;
  lines_.push_back(std::move(header));
  lines_.push_back(std::move(entry));
}

std::string SettingsDocument::Format() const {
  std::string out = byteOrderMark_;
  for (const Line& line : lines_) {
    out += line.text;
    if (line.crlf) out.push_back('\r');
    out.push_back('\n');
  }
  return out;
}

}  // namespace corvessa
