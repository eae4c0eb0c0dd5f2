#include "core/posix_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace corvessa {

namespace {

template <typename Buffer>
bool ReadInto(int fd, std::size_t limit, Buffer& out, int& error) {
  out.clear();
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    if (n == 0) return true;
    if (out.size() + static_cast<std::size_t>(n) > limit) {
      error = EFBIG;
      return false;
    }
    out.insert(out.end(), buffer, buffer + n);
  }
}

}  // namespace

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileDescriptor::Close() {
  const int fd = std::exchange(fd_, -1);
  return fd >= 0 && ::close(fd) == 0;
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

int FileDescriptor::Release() { return std::exchange(fd_, -1); }

std::string ErrorText(int error) { return std::generic_category().message(error); }

int OpenRegularFile(const std::string& path, int flags, int& error) {
  FileDescriptor file(::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!file.valid()) {
    error = errno;
    return -1;
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) {
    error = errno;
    return -1;
  }
  if (!S_ISREG(info.st_mode)) {
    error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return -1;
  }
  // Reads of a regular file never block anyway; clearing the flag keeps
  // every later read and write ordinary.
  const int status = ::fcntl(file.get(), F_GETFL);
  if (status >= 0) (void)::fcntl(file.get(), F_SETFL, status & ~O_NONBLOCK);
  return file.Release();
}

bool ReadToEnd(int fd, std::size_t limit, std::vector<std::uint8_t>& out, int& error) {
  return ReadInto(fd, limit, out, error);
}

bool ReadToEnd(int fd, std::size_t limit, std::string& out, int& error) { return ReadInto(fd, limit, out, error); }

bool WriteAll(int fd, std::span<const std::uint8_t> bytes, int& error) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    if (n == 0) {
      error = EIO;
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace corvessa
