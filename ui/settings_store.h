#pragma once
// Per-user settings in one text file laid out like a registry export:
//   [section]
//   "name"="text"
//   "name"=dword:0000abcd
// The application's own key is the section with the empty name, "[]".
// Every read takes the file as it is now (other programs may write it); every
// write replaces the whole file atomically and changes only the line of the
// value it writes: comments and lines the store does not understand stay.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace corvessa {

struct SettingsValue;

class SettingsStore {
 public:
  explicit SettingsStore(std::string path);

  // $XDG_CONFIG_HOME (default ~/.config) / "Merrowin Software" / corvessa.conf
  static std::string DefaultPath();

  const std::string& Path() const { return path_; }

  // Missing files, sections and values read as "" and 0, and so does a file
  // that cannot be read or is no regular file (a FIFO or a device at the
  // path never blocks the read).
  std::string GetString(std::string_view section, std::string_view name) const;
  std::uint32_t GetDword(std::string_view section, std::string_view name) const;

  // Return false when the file could not be replaced; the old file then
  // stays, and the failure handler hears why.
  bool SetString(std::string_view section, std::string_view name, std::string_view value);
  bool SetDword(std::string_view section, std::string_view name, std::uint32_t value);

  // Told of every failed write, with the cause in words; the application
  // decides how to show it. None by default.
  using WriteFailureHandler = std::function<void(const std::string& path, const std::string& cause)>;
  void SetWriteFailureHandler(WriteFailureHandler handler) { onWriteFailure_ = std::move(handler); }

 private:
  bool Write(std::string_view section, SettingsValue value);

  std::string path_;
  WriteFailureHandler onWriteFailure_;
};

}  // namespace corvessa
