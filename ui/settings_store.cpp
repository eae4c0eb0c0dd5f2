#include "ui/settings_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "core/settings_names.h"

namespace corvessa {

namespace {

// ---------------------------------------------------------------------------
// The file as a list of sections, each with its values in file order.

struct SettingsValue {
  std::string name;
  bool isDword = false;
  std::string text;         // string values
  std::uint32_t dword = 0;  // dword values
};

struct SettingsSection {
  std::string name;
  std::vector<SettingsValue> values;
};

using SettingsDocument = std::vector<SettingsSection>;

constexpr std::string_view kDwordPrefix = "dword:";
constexpr std::size_t kDwordDigits = 8;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

SettingsSection* FindSection(SettingsDocument& document, std::string_view name) {
  for (auto& section : document) {
    if (section.name == name) return &section;
  }
  return nullptr;
}

const SettingsValue* FindValue(const SettingsDocument& document, std::string_view section,
                               std::string_view name) {
  for (const auto& s : document) {
    if (s.name != section) continue;
    for (const auto& value : s.values) {
      if (value.name == name) return &value;
    }
  }
  return nullptr;
}

// A later line for the same value replaces the earlier one, as when a
// registry export is imported.
void PutValue(SettingsSection& section, SettingsValue value) {
  for (auto& existing : section.values) {
    if (existing.name == value.name) {
      existing = std::move(value);
      return;
    }
  }
  section.values.push_back(std::move(value));
}

// Reads a quoted text starting at `pos` (which must hold the opening quote);
// on success `pos` is just past the closing quote.
[[nodiscard]] std::optional<std::string> ParseQuoted(std::string_view line, std::size_t& pos) {
  if (pos >= line.size() || line[pos] != '"') return std::nullopt;
  std::string out;
  for (std::size_t i = pos + 1; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      pos = i + 1;
      return out;
    }
    if (c == '\\') {
      if (i + 1 >= line.size()) return std::nullopt;
      const char escaped = line[i + 1];
      if (escaped != '\\' && escaped != '"') return std::nullopt;
      out.push_back(escaped);
      ++i;
      continue;
    }
    out.push_back(c);
  }
  return std::nullopt;  // no closing quote
}

[[nodiscard]] std::optional<std::uint32_t> ParseDwordDigits(std::string_view digits) {
  if (digits.size() != kDwordDigits) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : digits) {
    std::uint32_t nibble = 0;
    if (c >= '0' && c <= '9') {
      nibble = static_cast<std::uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      nibble = static_cast<std::uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {  // hand-edited files may use upper case
      nibble = static_cast<std::uint32_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    value = (value << 4) | nibble;
  }
  return value;
}

[[nodiscard]] std::optional<SettingsValue> ParseValueLine(std::string_view line) {
  std::size_t pos = 0;
  auto name = ParseQuoted(line, pos);
  if (!name || pos >= line.size() || line[pos] != '=') return std::nullopt;
  ++pos;
  SettingsValue value;
  value.name = std::move(*name);
  const std::string_view rest = line.substr(pos);
  if (rest.starts_with(kDwordPrefix)) {
    const auto number = ParseDwordDigits(rest.substr(kDwordPrefix.size()));
    if (!number) return std::nullopt;
    value.isDword = true;
    value.dword = *number;
    return value;
  }
  auto text = ParseQuoted(line, pos);
  if (!text || pos != line.size()) return std::nullopt;
  value.text = std::move(*text);
  return value;
}

// Trailing blanks and the CR of a CRLF line end carry no meaning; files
// edited with other tools often have them.
std::string_view TrimLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
    line.remove_suffix(1);
  }
  return line;
}

SettingsDocument ParseSettings(std::string_view content) {
  if (content.starts_with(kUtf8Bom)) content.remove_prefix(kUtf8Bom.size());
  SettingsDocument document;
  // Index rather than pointer: the document grows while it is read. kNone
  // stands for "no section" (a plain index keeps GCC's optimiser from warning
  // about an optional it cannot follow).
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t current = kNone;
  while (!content.empty()) {
    const std::size_t end = content.find('\n');
    const std::string_view raw = content.substr(0, end);
    content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);

    const std::string_view line = TrimLineEnd(raw);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      // A broken section line must not let its values fall into the section
      // before it, so they are dropped until the next good section line.
      current = kNone;
      if (line.size() < 2 || line.back() != ']') continue;
      const std::string_view name = line.substr(1, line.size() - 2);
      // A section named twice is read as one.
      for (std::size_t i = 0; i < document.size(); ++i) {
        if (document[i].name == name) current = i;
      }
      if (current == kNone) {
        document.push_back(SettingsSection{std::string(name), {}});
        current = document.size() - 1;
      }
      continue;
    }
    if (current == kNone) continue;  // a value outside any section
    if (auto value = ParseValueLine(line)) PutValue(document[current], std::move(*value));
  }
  return document;
}

void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  for (const char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
}

void AppendDword(std::string& out, std::uint32_t value) {
  constexpr char kHex[] = "0123456789abcdef";
  out.append(kDwordPrefix);
  for (int shift = 28; shift >= 0; shift -= 4) out.push_back(kHex[(value >> shift) & 0xFU]);
}

// Comments and lines that did not parse are not kept: the file is written
// back from what was understood. A blank line separates sections.
std::string FormatSettings(const SettingsDocument& document) {
  std::string out;
  for (std::size_t i = 0; i < document.size(); ++i) {
    if (i > 0) out.push_back('\n');
    out.push_back('[');
    out.append(document[i].name);
    out.append("]\n");
    for (const auto& value : document[i].values) {
      AppendQuoted(out, value.name);
      out.push_back('=');
      if (value.isDword) {
        AppendDword(out, value.dword);
      } else {
        AppendQuoted(out, value.text);
      }
      out.push_back('\n');
    }
  }
  return out;
}

// A line break would end the line early and let the rest be read as a line
// of its own (a section or a value the caller never meant to write).
bool FitsOnOneLine(std::string_view text) { return text.find('\n') == std::string_view::npos; }

// ---------------------------------------------------------------------------
// File access.

enum class ReadStatus { Ok, Missing, Failed };

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now so the caller sees the error of the close itself.
  bool Close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

ReadStatus ReadWholeFile(const std::string& path, std::string& content, mode_t* mode = nullptr) {
  content.clear();
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return ReadStatus::Failed;
  if (mode != nullptr) *mode = info.st_mode & 07777;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return ReadStatus::Failed;
    }
    content.append(buffer, static_cast<std::size_t>(n));
  }
  return ReadStatus::Ok;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Writes a temporary file beside the target and renames it over the target,
// so readers see either the old file or the new one, never a part of either.
bool ReplaceFileAtomically(const std::string& path, std::string_view content,
                           std::optional<mode_t> mode) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) return false;

  // Appended piece by piece: GCC 12 at -O3 sees a false overlap in "." + name.
  std::string hidden(1, '.');
  hidden += target.filename().string();
  hidden += ".XXXXXX";
  std::string temporary = (folder / hidden).string();
  FileDescriptor file(::mkstemp(temporary.data()));
  if (file.get() < 0) return false;
  const bool written = (!mode || ::fchmod(file.get(), *mode) == 0) && WriteAll(file.get(), content) &&
                       ::fsync(file.get()) == 0 && file.Close() &&
                       ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!written) {
    ::unlink(temporary.c_str());
    return false;
  }
  // Make the rename itself durable; the new file is in place either way.
  FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.get() >= 0) ::fsync(directory.get());
  return true;
}

// `mode` receives the permissions of an existing file, which the
// replacement keeps.
std::optional<SettingsDocument> ReadDocument(const std::string& path,
                                             std::optional<mode_t>* mode = nullptr) {
  std::string content;
  mode_t existingMode = 0;
  switch (ReadWholeFile(path, content, &existingMode)) {
    case ReadStatus::Missing:
      return SettingsDocument{};
    case ReadStatus::Failed:
      return std::nullopt;
    case ReadStatus::Ok:
      break;
  }
  if (mode != nullptr) *mode = existingMode;
  return ParseSettings(content);
}

bool WriteValue(const std::string& path, std::string_view section, SettingsValue value) {
  if (!FitsOnOneLine(section) || !FitsOnOneLine(value.name) || !FitsOnOneLine(value.text)) {
    return false;
  }
  // A file that exists but cannot be read is left alone rather than replaced
  // by one that holds only this value.
  std::optional<mode_t> mode;
  auto document = ReadDocument(path, &mode);
  if (!document) return false;
  SettingsSection* target = FindSection(*document, section);
  if (target == nullptr) {
    document->push_back(SettingsSection{std::string(section), {}});
    target = &document->back();
  }
  PutValue(*target, std::move(value));
  return ReplaceFileAtomically(path, FormatSettings(*document), mode);
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return {};
}

}  // namespace

SettingsStore::SettingsStore(std::string path) : path_(std::move(path)) {}

std::string SettingsStore::DefaultPath() {
  std::filesystem::path base;
  // Only an absolute XDG_CONFIG_HOME counts; a relative one would depend on
  // the folder the program happens to be started from.
  if (const char* config = std::getenv("XDG_CONFIG_HOME");
      config != nullptr && config[0] == '/') {
    base = config;
  } else {
    base = std::filesystem::path(HomeFolder()) / ".config";
  }
  const std::string fileName = std::string(settings_names::kApplicationName) + ".conf";
  return (base / settings_names::kCompanyKey / fileName).string();
}

std::string SettingsStore::GetString(std::string_view section, std::string_view name) const {
  const auto document = ReadDocument(path_);
  if (!document) return {};
  const SettingsValue* value = FindValue(*document, section, name);
  return value != nullptr && !value->isDword ? value->text : std::string();
}

std::uint32_t SettingsStore::GetDword(std::string_view section, std::string_view name) const {
  const auto document = ReadDocument(path_);
  if (!document) return 0;
  const SettingsValue* value = FindValue(*document, section, name);
  return value != nullptr && value->isDword ? value->dword : 0;
}

bool SettingsStore::SetString(std::string_view section, std::string_view name, std::string_view value) {
  SettingsValue entry;
  entry.name = std::string(name);
  entry.text = std::string(value);
  return WriteValue(path_, section, std::move(entry));
}

bool SettingsStore::SetDword(std::string_view section, std::string_view name, std::uint32_t value) {
  SettingsValue entry;
  entry.name = std::string(name);
  entry.isDword = true;
  entry.dword = value;
  return WriteValue(path_, section, std::move(entry));
}

}  // namespace corvessa
