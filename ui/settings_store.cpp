#include "ui/settings_store.h"

#include <fcntl.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <utility>

#include "core/atomic_file.h"
#include "core/posix_file.h"
#include "core/settings_names.h"
#include "ui/settings_document.h"
#include "ui/user_folders.h"

namespace corvessa {

namespace {

// Far more than any settings file; a bigger file is not one and is not read.
constexpr std::size_t kMaxSettingsFileSize = 16u * 1024u * 1024u;

constexpr std::string_view kLineBreakCause = "a setting with a line break cannot be stored";

// A line break would end the line early and let the rest be read as a line
// of its own (a section or a value the caller never meant to write).
bool FitsOnOneLine(std::string_view text) { return text.find('\n') == std::string_view::npos; }

struct ReadResult {
  std::optional<SettingsDocument> document;  // a missing file is an empty document
  std::string cause;                         // why there is none
};

ReadResult ReadDocument(const std::string& path) {
  int error = 0;
  FileDescriptor file(OpenRegularFile(path, O_RDONLY, error));
  if (!file.valid()) {
    if (error == ENOENT) return {SettingsDocument{}, {}};
    return {std::nullopt, error == EINVAL ? std::string("not a regular file") : ErrorText(error)};
  }
  std::string content;
  if (!ReadToEnd(file.get(), kMaxSettingsFileSize, content, error)) return {std::nullopt, ErrorText(error)};
  return {SettingsDocument::Parse(content), {}};
}

}  // namespace

SettingsStore::SettingsStore(std::string path) : path_(std::move(path)) {}

std::string SettingsStore::DefaultPath() {
  const std::string fileName = std::string(settings_names::kApplicationName) + ".conf";
  return (std::filesystem::path(UserConfigFolder()) / settings_names::kCompanyKey / fileName).string();
}

std::string SettingsStore::GetString(std::string_view section, std::string_view name) const {
  const ReadResult read = ReadDocument(path_);
  if (!read.document) return {};
  const SettingsValue* value = read.document->Find(section, name);
  return value != nullptr && !value->isDword ? value->text : std::string();
}

std::uint32_t SettingsStore::GetDword(std::string_view section, std::string_view name) const {
  const ReadResult read = ReadDocument(path_);
  if (!read.document) return 0;
  const SettingsValue* value = read.document->Find(section, name);
  return value != nullptr && value->isDword ? value->dword : 0;
}

bool SettingsStore::Write(std::string_view section, SettingsValue value) {
  std::string cause;
  if (!FitsOnOneLine(section) || !FitsOnOneLine(value.name) || !FitsOnOneLine(value.text)) {
    cause = kLineBreakCause;
  } else {
    // A file that exists but cannot be read is left alone rather than
    // replaced by one that holds only this value.
    ReadResult read = ReadDocument(path_);
    if (read.document) {
      read.document->Put(section, std::move(value));
      AtomicWriteOptions options;
      options.createFolder = true;
      options.newFileMode = 0600;  // the user's own settings
      const AtomicWriteResult written = ReplaceFileAtomically(path_, read.document->Format(), options);
      if (written) return true;
      cause = written.cause;
    } else {
      cause = read.cause;
    }
  }
  if (onWriteFailure_) onWriteFailure_(path_, cause);
  return false;
}

bool SettingsStore::SetString(std::string_view section, std::string_view name, std::string_view value) {
  SettingsValue entry;
  entry.name = std::string(name);
  entry.text = std::string(value);
  return Write(section, std::move(entry));
}

bool SettingsStore::SetDword(std::string_view section, std::string_view name, std::uint32_t value) {
  SettingsValue entry;
  entry.name = std::string(name);
  entry.isDword = true;
  entry.dword = value;
  return Write(section, std::move(entry));
}

}  // namespace corvessa
