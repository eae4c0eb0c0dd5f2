#include "files/file_access.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/posix_file.h"

namespace corvessa {
namespace {

// Shared locks of both kinds other programs use; one held for writing
// refuses at once instead of hanging the window.
bool LockShared(int fd) {
  while (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    if (errno != EINTR) return false;
  }
  struct flock record {};
  record.l_type = F_RDLCK;
  record.l_whence = SEEK_SET;  // start 0, length 0: the whole file
  while (::fcntl(fd, F_OFD_SETLK, &record) != 0) {
    if (errno == EINTR) continue;
    // A file system without record locks: flock alone has to do.
    return errno == EINVAL || errno == ENOLCK;
  }
  return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadFileLocked(const std::string& path) {
  int error = 0;
  FileDescriptor file(OpenRegularFile(path, O_RDONLY, error));
  struct stat info {};
  if (!file.valid() || ::fstat(file.get(), &info) != 0 || !LockShared(file.get())) return std::nullopt;
  if (info.st_size < 0 || static_cast<std::uintmax_t>(info.st_size) > kMaxRelationFileSize) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(static_cast<std::size_t>(info.st_size));
  // The size may have changed since fstat; the limit holds for what is read.
  if (!ReadToEnd(file.get(), kMaxRelationFileSize, bytes, error)) return std::nullopt;
  return bytes;
}

AtomicWriteResult SaveFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  AtomicWriteOptions options;
  options.lockExisting = true;
  return ReplaceFileAtomically(path, bytes, options);
}

AtomicWriteResult SaveFileAtomically(const std::string& path, std::string_view bytes) {
  return SaveFileAtomically(
      path, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

}  // namespace corvessa
