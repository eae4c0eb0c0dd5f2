#pragma once
// Small pieces of file access shared by the relation files, the settings
// file and the recovery copy: an owning descriptor, opening a regular file
// without ever blocking, and whole reads and writes that retry on EINTR.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvessa {

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  ~FileDescriptor();
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now; a writer checks the result, as a late write error may show
  // only here. False also when nothing was open.
  [[nodiscard]] bool Close();
  // Gives the descriptor up without closing it.
  [[nodiscard]] int Release();

 private:
  int fd_ = -1;
};

// The text of an errno value, as strerror gives it.
std::string ErrorText(int error);

// Opens an existing regular file. O_NONBLOCK keeps a FIFO or a device at the
// path from hanging the open; anything that is not a regular file is closed
// again and refused. `flags` are the access flags (O_RDONLY, O_RDWR).
// Returns the descriptor, or -1 with the errno in `error` (EISDIR for a
// folder, EINVAL for any other kind of file).
[[nodiscard]] int OpenRegularFile(const std::string& path, int flags, int& error);

// Reads from the current position to the end. False, with the errno in
// `error` (EFBIG when more than `limit` bytes come), on failure.
[[nodiscard]] bool ReadToEnd(int fd, std::size_t limit, std::vector<std::uint8_t>& out, int& error);
[[nodiscard]] bool ReadToEnd(int fd, std::size_t limit, std::string& out, int& error);

// Writes every byte; false with the errno in `error` on failure.
[[nodiscard]] bool WriteAll(int fd, std::span<const std::uint8_t> bytes, int& error);

}  // namespace corvessa
