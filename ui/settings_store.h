#pragma once
// Per-user settings in one text file laid out like a registry export:
//   [section]
//   "name"="text"
//   "name"=dword:0000abcd
// The application's own key is the section with the empty name, "[]".
// Every read takes the file as it is now (other programs may write it); every
// write replaces the whole file atomically.

#include <cstdint>
#include <string>
#include <string_view>

namespace corvessa {

class SettingsStore {
 public:
  explicit SettingsStore(std::string path);

  // $XDG_CONFIG_HOME (default ~/.config) / "Merrowin Software" / corvessa.conf
  static std::string DefaultPath();

  const std::string& Path() const { return path_; }

  // Missing files, sections and values read as "" and 0.
  std::string GetString(std::string_view section, std::string_view name) const;
  std::uint32_t GetDword(std::string_view section, std::string_view name) const;

  // Return false when the file could not be replaced; the old file then stays.
  bool SetString(std::string_view section, std::string_view name, std::string_view value);
  bool SetDword(std::string_view section, std::string_view name, std::uint32_t value);

 private:
  std::string path_;
};

}  // namespace corvessa
