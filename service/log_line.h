#pragma once
// The service's log: one line per event on standard output, which systemd
// hands to the journal. A line is an event word followed by key=value
// fields, for example
//
//   request mac=00:1D:9C:C8:12:34 type=DHCP time=9:05:03 count=2 ip=192.168.1.50 hostname=plc-a status="Sent 192.168.1.50 to Ethernet address 00:1D:9C:C8:12:34"
//
// A value is written bare when it is printable ASCII without blanks, quotes,
// backslashes or '='; any other value (an empty one too) in double quotes,
// with \" \\ \n \t and \xNN for every other byte. So a line is always one
// line of ASCII, and a script splits it the same way whatever a hostname or
// a status text holds.

#include <string>
#include <string_view>

namespace corvessa::service {

// syslog priorities, as the journal files them.
enum class LogLevel { Error = 3, Warning = 4, Notice = 5, Info = 6 };

std::string LogValue(std::string_view value);

class LogLine {
 public:
  explicit LogLine(std::string_view event) : text_(event) {}
  LogLine& Add(std::string_view key, std::string_view value);
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

class LogSink {
 public:
  virtual ~LogSink() = default;
  // One line, or several separated by '\n' (the reason of a fatal start).
  virtual void Write(LogLevel level, std::string_view text) = 0;
  void Write(LogLevel level, const LogLine& line) { Write(level, line.Text()); }
};

// Writes each text with one write() (a line is never torn by buffering or a
// second writer) to a descriptor. When the descriptor is the journal's stream
// (JOURNAL_STREAM names it), every line starts with its priority as "<N>",
// which the journal takes off and files: `journalctl -p warning` then shows
// the warnings alone.
class DescriptorLog final : public LogSink {
 public:
  explicit DescriptorLog(int fd);
  using LogSink::Write;
  void Write(LogLevel level, std::string_view text) override;

 private:
  int fd_;
  bool journal_;
};

// True when `journalStream` ("<device>:<inode>", the JOURNAL_STREAM variable)
// names the open file of `fd`.
bool IsJournalStream(int fd, const char* journalStream);

}  // namespace corvessa::service
