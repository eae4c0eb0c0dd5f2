#pragma once
// Open and save dialogs behind an interface, so that the file commands run
// against scripted answers in tests and against real dialogs in the program.

#include <optional>
#include <string>

namespace corvessa {

struct FileDialogRequest {
  // Alternating shown text and pattern, separated by '|', ended by "||":
  // "Bootp Config Files (*.bpc)|*.bpc|...||". The first entry is preselected.
  std::string filter;
  // Appended (after a dot) by the save dialog to a typed name that has no
  // extension; a name picked from the list, or opened, stays as it is.
  std::string defaultExtension;

  bool operator==(const FileDialogRequest&) const = default;
};

// Longest path the dialogs hand back, in bytes; the file commands keep the
// name in a buffer of this size plus the terminating zero.
inline constexpr std::size_t kMaxFileNameLength = 512;

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // The chosen existing file, or nothing when cancelled.
  virtual std::optional<std::string> Open(const FileDialogRequest& request) = 0;
  // The chosen name (overwriting confirmed), or nothing when cancelled.
  virtual std::optional<std::string> Save(const FileDialogRequest& request) = 0;
};

}  // namespace corvessa
