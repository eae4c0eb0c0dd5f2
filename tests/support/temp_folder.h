#pragma once
// A scratch folder for one test, removed with everything in it at the end,
// and whole-file reading and writing for the files tests put there.

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace corvessa::testsupport {

// "corvessa-<tag>-XXXXXX" under the system's temporary folder. mkdtemp picks
// a fresh name, so test binaries running side by side never share a folder.
// When it fails, ok() is false and Path() is empty.
class TempFolder {
 public:
  explicit TempFolder(std::string_view tag = "test") {
    std::string pattern =
        (std::filesystem::temp_directory_path() / ("corvessa-" + std::string(tag) + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::filesystem::path& Path() const { return path_; }

  // The path of `name` inside the folder, as text.
  std::string File(std::string_view name) const { return (path_ / name).string(); }

  // Writes `content` to `name` and returns its path.
  std::string Write(std::string_view name, std::string_view content) const;

  // Every name in the folder, hidden ones included: what a test left behind.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) names.insert(entry.path().filename().string());
    return names;
  }

 private:
  std::filesystem::path path_;
};

// The whole file; empty when it cannot be read.
inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces the file with `bytes`, creating missing parent folders first.
// False when the file could not be written.
inline bool WriteWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::error_code ignored;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return out.good();
}

inline bool WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  return WriteWholeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

inline std::string TempFolder::Write(std::string_view name, std::string_view content) const {
  const std::string path = File(name);
  WriteWholeFile(path, content);
  return path;
}

}  // namespace corvessa::testsupport
