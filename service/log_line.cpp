#include "service/log_line.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace corvessa::service {

namespace {

bool IsBare(std::string_view value) {
  if (value.empty()) return false;
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || c == '"' || c == '\\' || c == '=') return false;
  }
  return true;
}

}  // namespace

std::string LogValue(std::string_view value) {
  if (IsBare(value)) return std::string(value);
  std::string quoted = "\"";
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (c == '\n') {
      quoted += "\\n";
    } else if (c == '\t') {
      quoted += "\\t";
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(byte));
      quoted += escaped;
    } else {
      quoted += c;
    }
  }
  quoted += '"';
  return quoted;
}

LogLine& LogLine::Add(std::string_view key, std::string_view value) {
  text_ += ' ';
  text_ += key;
  text_ += '=';
  text_ += LogValue(value);
  return *this;
}

bool IsJournalStream(int fd, const char* journalStream) {
  if (journalStream == nullptr) return false;
  std::uintmax_t device = 0, inode = 0;
  if (std::sscanf(journalStream, "%" SCNuMAX ":%" SCNuMAX, &device, &inode) != 2) return false;
  struct stat status {};
  if (fstat(fd, &status) != 0) return false;
  return static_cast<std::uintmax_t>(status.st_dev) == device && static_cast<std::uintmax_t>(status.st_ino) == inode;
}

DescriptorLog::DescriptorLog(int fd) : fd_(fd), journal_(IsJournalStream(fd, std::getenv("JOURNAL_STREAM"))) {}

void DescriptorLog::Write(LogLevel level, std::string_view text) {
  const std::string prefix = journal_ ? "<" + std::to_string(static_cast<int>(level)) + ">" : std::string();
  std::string out = prefix;
  for (const char c : text) {
    out += c;
    if (c == '\n') out += prefix;
  }
  out += '\n';
  std::string_view rest = out;
  while (!rest.empty()) {
    const ssize_t n = ::write(fd_, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    // Nobody to tell that the log cannot be written; serving goes on.
    if (n <= 0) return;
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace corvessa::service
