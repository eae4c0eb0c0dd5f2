#pragma once
// Replacing a whole file so that nobody ever sees half of it: the new content
// goes to a temporary file in the same folder, is flushed to disk, takes the
// old name by rename, and the folder is flushed so the new name survives a
// power cut. A failure at any step leaves the old file byte for byte as it
// was and no temporary file behind.
//
// What the old file had is kept: a symbolic link stays a link and the file it
// points to gets the new content; the mode stays, and so do the owner and the
// group where the process may set them (it runs as root in some set-ups).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace corvessa {

struct AtomicWriteOptions {
  // Hold the old file under an exclusive flock and an exclusive open file
  // description record lock (F_OFD_SETLK) until the new one has its name.
  // Programs use either kind; a file that another one has locked, or is
  // reading under a lock, is refused rather than replaced under it. Taking a
  // write lock needs write access, so a file the process may not write is
  // refused too.
  bool lockExisting = false;
  // Create the target's folder, and its parents, when they are missing.
  bool createFolder = false;
  // Permissions of a file that did not exist before, lowered by the umask.
  mode_t newFileMode = 0666;
};

struct AtomicWriteResult {
  int error = 0;      // errno of the step that failed; 0 on success
  std::string cause;  // why, in words (strerror, or what the error code cannot say)

  bool ok() const { return error == 0; }
  explicit operator bool() const { return ok(); }
};

[[nodiscard]] AtomicWriteResult ReplaceFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                                                      const AtomicWriteOptions& options = {});
[[nodiscard]] AtomicWriteResult ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                                                      const AtomicWriteOptions& options = {});

// The path a write to `path` lands on: symbolic links are followed to their
// end, also to a target that does not exist yet. Empty, with the errno in
// `error`, when the chain cannot be followed (a loop, an unreadable link).
[[nodiscard]] std::string ResolveLinks(const std::string& path, int& error);

}  // namespace corvessa
