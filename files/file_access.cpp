#include "files/file_access.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace corvessa {
namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closing can report a late write error, so a writer checks it.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd >= 0 && ::close(fd) == 0;
  }

 private:
  int fd_;
};

// O_NONBLOCK keeps a FIFO from blocking the open; for regular files it
// changes nothing.
int OpenForLock(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

bool IsRegularFile(int fd, struct stat& info) {
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// A lock held by someone else refuses at once instead of hanging the window.
bool Lock(int fd, int operation) {
  while (::flock(fd, operation | LOCK_NB) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

// A name beside the target that no other save of this process uses; O_EXCL
// refuses a name that exists anyway. The base name is shortened so that the
// suffix cannot push it past the file system's name limit.
std::filesystem::path TemporaryName(const std::filesystem::path& target, unsigned attempt) {
  static std::atomic<unsigned> counter{0};
  constexpr std::size_t kMaxBaseLength = 200;
  std::string base = target.filename().string().substr(0, kMaxBaseLength);
  base = "." + base + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
         std::to_string(attempt);
  return target.parent_path() / base;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadFileLocked(const std::string& path) {
  Descriptor file(OpenForLock(path));
  struct stat info {};
  if (file.get() < 0 || !IsRegularFile(file.get(), info) || !Lock(file.get(), LOCK_SH)) {
    return std::nullopt;
  }
  if (info.st_size < 0 || static_cast<std::uintmax_t>(info.st_size) > kMaxRelationFileSize) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes;
  bytes.reserve(static_cast<std::size_t>(info.st_size));
  std::uint8_t buffer[8192];
  for (;;) {
    const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    // The size may have changed since fstat; the limit holds for what is read.
    if (bytes.size() + static_cast<std::size_t>(n) > kMaxRelationFileSize) return std::nullopt;
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  return bytes;
}

bool SaveFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  namespace fs = std::filesystem;
  if (path.empty()) return false;
  std::error_code error;
  fs::path target(path);
  if (fs::exists(target, error)) {
    // Replace the file a link points to, not the link.
    target = fs::canonical(target, error);
    if (error) return false;
  }
  if (!target.has_parent_path()) target = fs::path(".") / target;

  // The old file stays locked until the new one has taken its name, so no
  // other instance reads or saves it in between.
  std::optional<Descriptor> old;
  mode_t mode = 0666;  // lowered by the umask when the file is new
  bool keepMode = false;
  if (fs::exists(target, error)) {
    old.emplace(OpenForLock(target.string()));
    struct stat info {};
    if (old->get() < 0 || !IsRegularFile(old->get(), info) || !Lock(old->get(), LOCK_EX)) return false;
    mode = info.st_mode & 07777;
    keepMode = true;
  }

  fs::path temporary;
  int fd = -1;
  for (unsigned attempt = 0; attempt < 8 && fd < 0; ++attempt) {
    temporary = TemporaryName(target, attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  Descriptor file(fd);

  const bool written = (!keepMode || ::fchmod(file.get(), mode) == 0) && WriteAll(file.get(), bytes) &&
                       ::fsync(file.get()) == 0 && file.Close() &&
                       ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!written) {
    ::unlink(temporary.c_str());
    return false;
  }
  // Make the new name durable. The new content is in place either way, so a
  // failure here is not reported as a failed save.
  Descriptor folder(::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) ::fsync(folder.get());
  return true;
}

bool SaveFileAtomically(const std::string& path, std::string_view bytes) {
  return SaveFileAtomically(
      path, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

}  // namespace corvessa
