#include "files/recovery_copy.h"

#include "core/ascii.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <utility>

#include "core/bytes.h"
#include "core/posix_file.h"
#include "files/bpc_layout.h"
#include "files/bpc_writer.h"
#include "files/file_access.h"

namespace corvessa {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kIndexName = "recovery";
constexpr std::string_view kUnnamed = "untitled";
constexpr std::string_view kCopyExtension = ".bpc";
// A copy name and a path of at most 512 bytes, with room to spare.
constexpr std::size_t kMaxIndexSize = 4096;
// Keeps the copy's name within the file system's limit.
constexpr std::size_t kMaxCopyBaseName = 200;

AtomicWriteOptions PrivateFile() {
  AtomicWriteOptions options;
  options.createFolder = true;
  options.newFileMode = 0600;  // the user's own work
  return options;
}

// A plain name inside the folder: the index must not point anywhere else.
bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos && name != kIndexName;
}

}  // namespace

RecoveryStore::RecoveryStore(std::string folder) : folder_(std::move(folder)) {}

std::string RecoveryStore::IndexPath() const { return (fs::path(folder_) / kIndexName).string(); }

std::string RecoveryStore::CopyName(std::string_view fileName) {
  std::string name(kUnnamed);
  const std::size_t slash = fileName.rfind('/');
  const std::string_view base = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
  if (!base.empty()) name.assign(base.substr(0, kMaxCopyBaseName));
  // A line break would end the index's first line early.
  std::replace_if(name.begin(), name.end(), [](char c) { return c == '\n' || c == '\r' || c == '\0'; }, '_');
  if (!IsPlainName(name)) name = kUnnamed;
  if (!EndsWithIgnoringAsciiCase(name, kCopyExtension)) name += kCopyExtension;
  return name;
}

std::optional<std::string> RecoveryStore::IndexedCopyName(std::string* fileName) const {
  int error = 0;
  FileDescriptor index(OpenRegularFile(IndexPath(), O_RDONLY, error));
  std::string content;
  if (!index.valid() || !ReadToEnd(index.get(), kMaxIndexSize, content, error)) return std::nullopt;
  const std::size_t lineEnd = content.find('\n');
  if (lineEnd == std::string::npos) return std::nullopt;
  std::string copyName = content.substr(0, lineEnd);
  if (!IsPlainName(copyName)) return std::nullopt;
  if (fileName != nullptr) *fileName = content.substr(lineEnd + 1);
  return copyName;
}

AtomicWriteResult RecoveryStore::Keep(const NetworkSettings& settings, const RelationTable& table,
                                      std::string_view fileName) {
  const std::string copyName = CopyName(fileName);
  const std::optional<std::string> previous = IndexedCopyName(nullptr);
  AtomicWriteResult written =
      ReplaceFileAtomically((fs::path(folder_) / copyName).string(), WriteBpc(settings, table), PrivateFile());
  if (!written) return written;
  std::string index = copyName;
  index += '\n';
  index += fileName;
  written = ReplaceFileAtomically(IndexPath(), index, PrivateFile());
  if (written && previous && *previous != copyName) ::unlink((fs::path(folder_) / *previous).c_str());
  return written;
}

std::optional<RecoveryCopy> RecoveryStore::Find() const {
  RecoveryCopy copy;
  const std::optional<std::string> copyName = IndexedCopyName(&copy.fileName);
  if (!copyName) return std::nullopt;
  copy.copyPath = (fs::path(folder_) / *copyName).string();
  std::optional<std::vector<std::uint8_t>> bytes = ReadFileLocked(copy.copyPath);
  if (!bytes) return std::nullopt;
  copy.bytes = std::move(*bytes);
  return copy;
}

void RecoveryStore::Remove() {
  const std::optional<std::string> copyName = IndexedCopyName(nullptr);
  ::unlink(IndexPath().c_str());
  if (copyName) ::unlink((fs::path(folder_) / *copyName).c_str());
}

BpcLoad ReadRecoveryCopy(std::span<const std::uint8_t> bytes, RelationTable& table, bool& settingsUsable) {
  settingsUsable = true;
  BpcLoad load = ReadBpc(bytes, table);
  if (load.error != LoadError::CorruptSettings || load.format != BpcLoad::Format::Current) return load;
  // The relations do not depend on the settings: read them behind a settings
  // block that passes (255.255.255.0, nothing else), and keep the settings
  // the program has now.
  std::vector<std::uint8_t> patched(bytes.begin(), bytes.end());
  if (patched.size() < bpc::kHeaderSize) return load;
  std::fill(patched.begin() + bpc::kSubnetMaskOffset, patched.begin() + bpc::kRecordCountOffset, std::uint8_t{0});
  (void)little_endian::Put32(patched, bpc::kSubnetMaskOffset, 0xFFFFFF00u);
  settingsUsable = false;
  return ReadBpc(patched, table);
}

}  // namespace corvessa
