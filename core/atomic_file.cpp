#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

#include "core/posix_file.h"

namespace corvessa {

namespace {

namespace fs = std::filesystem;

// The kernel's own limit for a chain of links.
constexpr int kMaxLinkDepth = 40;
// Room for the suffix of a temporary name within the file system's 255.
constexpr std::size_t kMaxTemporaryBase = 200;
constexpr int kTemporaryAttempts = 8;

constexpr std::string_view kLockedCause = "the file is locked by another program";
constexpr std::string_view kNotRegularCause = "not a regular file";

AtomicWriteResult Failure(int error) {
  // A lock is refused with EWOULDBLOCK, and EINVAL is how OpenRegularFile
  // refuses a FIFO or a device: their strerror texts would mislead.
  if (error == EWOULDBLOCK) return {error, std::string(kLockedCause)};
  if (error == EINVAL) return {error, std::string(kNotRegularCause)};
  return {error, ErrorText(error)};
}

// A lock held by someone else refuses at once instead of hanging the window.
bool LockExclusively(int fd, int& error) {
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    error = errno == EWOULDBLOCK ? EWOULDBLOCK : errno;
    return false;
  }
  struct flock record {};
  record.l_type = F_WRLCK;
  record.l_whence = SEEK_SET;  // start 0, length 0: the whole file
  while (::fcntl(fd, F_OFD_SETLK, &record) != 0) {
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) {
      error = EWOULDBLOCK;
      return false;
    }
    // A kernel or file system without record locks: flock alone has to do.
    if (errno == EINVAL || errno == ENOLCK) break;
    error = errno;
    return false;
  }
  return true;
}

// A name beside the target that no other write of this process uses; O_EXCL
// refuses a name that exists anyway.
fs::path TemporaryName(const fs::path& target, int attempt) {
  static std::atomic<unsigned> counter{0};
  // Appended piece by piece: GCC 12 at -O3 sees a false overlap in "." + name.
  std::string name(1, '.');
  name += target.filename().string().substr(0, kMaxTemporaryBase);
  name += ".tmp-";
  name += std::to_string(::getpid());
  name += '-';
  name += std::to_string(counter++);
  name += '-';
  name += std::to_string(attempt);
  return target.parent_path() / name;
}

// Owner and group first: a change of owner clears the set-id bits, which
// the mode then sets again. Only root may give a file away, and a user may
// set only a group they belong to; what cannot be set stays the process's own.
bool TakeOverAttributes(int fd, const struct stat& old, int& error) {
  if (::fchown(fd, old.st_uid, old.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
  if (::fchmod(fd, old.st_mode & 07777) != 0) {
    error = errno;
    return false;
  }
  return true;
}

}  // namespace

std::string ResolveLinks(const std::string& path, int& error) {
  fs::path current(path);
  for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0) {
      if (errno == ENOENT) return current.string();  // a new file, or a link to one
      error = errno;
      return {};
    }
    if (!S_ISLNK(info.st_mode)) return current.string();
    std::error_code failed;
    const fs::path target = fs::read_symlink(current, failed);
    if (failed) {
      error = failed.value();
      return {};
    }
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  error = ELOOP;
  return {};
}

AtomicWriteResult ReplaceFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                                        const AtomicWriteOptions& options) {
  if (path.empty()) return Failure(ENOENT);
  int error = 0;
  fs::path target = ResolveLinks(path, error);
  if (target.empty()) return Failure(error);
  if (!target.has_parent_path()) target = fs::path(".") / target;
  if (options.createFolder) {
    std::error_code failed;
    fs::create_directories(target.parent_path(), failed);
    if (failed) return Failure(failed.value());
  }

  // The old file stays open (and locked, when asked) until the new one has
  // taken its name, so no other instance reads or saves it in between.
  FileDescriptor old(OpenRegularFile(target.string(), options.lockExisting ? O_RDWR : O_RDONLY, error));
  std::optional<struct stat> oldInfo;
  if (old.valid()) {
    struct stat info {};
    if (::fstat(old.get(), &info) != 0) return Failure(errno);
    if (options.lockExisting && !LockExclusively(old.get(), error)) return Failure(error);
    oldInfo = info;
  } else if (error != ENOENT) {
    return Failure(error);
  }

  fs::path temporary;
  FileDescriptor file;
  // Created private; an old file's own mode follows once its owner is set.
  const mode_t createMode = oldInfo ? 0600 : options.newFileMode;
  for (int attempt = 0; attempt < kTemporaryAttempts && !file.valid(); ++attempt) {
    temporary = TemporaryName(target, attempt);
    file = FileDescriptor(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode));
    if (!file.valid() && errno != EEXIST) return Failure(errno);
  }
  if (!file.valid()) return Failure(EEXIST);

  const bool written = (!oldInfo || TakeOverAttributes(file.get(), *oldInfo, error)) &&
                       WriteAll(file.get(), bytes, error) && (::fsync(file.get()) == 0 || (error = errno, false)) &&
                       (file.Close() || (error = errno, false)) &&
                       (::rename(temporary.c_str(), target.c_str()) == 0 || (error = errno, false));
  if (!written) {
    ::unlink(temporary.c_str());
    return Failure(error);
  }
  // Make the new name durable. The new content is in place either way, so a
  // failure here is not reported as a failed write.
  FileDescriptor folder(::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid()) (void)::fsync(folder.get());
  return {};
}

AtomicWriteResult ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                                        const AtomicWriteOptions& options) {
  return ReplaceFileAtomically(
      path, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
      options);
}

}  // namespace corvessa
