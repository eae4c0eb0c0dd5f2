#pragma once
// The settings file as its lines. What the store understands (section lines
// and value lines) can be read and changed; every other line (comments,
// blank lines, lines that do not parse, values outside a section) is kept as
// it stands, so a write changes the one value line it writes and nothing
// else. Layout of the lines: see ui/settings_store.h.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvessa {

struct SettingsValue {
  std::string name;
  bool isDword = false;
  std::string text;         // string values
  std::uint32_t dword = 0;  // dword values
};

class SettingsDocument {
 public:
  static SettingsDocument Parse(std::string_view content);

  // The value as the file gives it: a section named twice is read as one,
  // and a later line for the same value replaces the earlier one. nullptr
  // when there is none.
  const SettingsValue* Find(std::string_view section, std::string_view name) const;

  // Rewrites the line that gives the value, or adds one after the last value
  // of the section, or adds the section (after a blank line) at the end.
  void Put(std::string_view section, SettingsValue value);

  std::string Format() const;

 private:
  enum class Kind { Other, Section, Value };
  struct Line {
    std::string text;  // without its line end
    bool crlf = false;  // ended with CR LF; a rewritten line keeps its ending
    Kind kind = Kind::Other;
    std::string section;  // Section: its name; Value: the section it belongs to
    SettingsValue value;  // Value only
  };

  std::string byteOrderMark_;
  std::vector<Line> lines_;
};

// One value line, as the store writes it.
std::string FormatValueLine(const SettingsValue& value);

}  // namespace corvessa
