#pragma once
// The recovery copy: when the program is ended from outside (a signal, the
// end of the desktop session) with unsaved changes, the relation list and
// the network settings are kept as a .bpc file (format 3) in a folder of the
// program's own, with the name of the file they belong to. The next start
// offers them; a normal save or a clean exit removes them.
//
// The folder holds the copy, named after the file it belongs to ("plant.bpc",
// "plant.csv.bpc", "untitled.bpc"), and an index file, "recovery", whose
// first line names the copy and whose rest is the full path of the file it
// belongs to (empty when none was named). The index is written last, so it
// is what makes a copy count: a copy without it is never offered.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/atomic_file.h"
#include "core/network_settings.h"
#include "files/bpc_reader.h"
#include "relations/relation_table.h"

namespace corvessa {

struct RecoveryCopy {
  std::string fileName;  // the file the relations belong to; empty when none
  std::string copyPath;  // where the copy is
  std::vector<std::uint8_t> bytes;
};

class RecoveryStore {
 public:
  explicit RecoveryStore(std::string folder);

  const std::string& Folder() const { return folder_; }

  // Writes the copy, then the index; replaces any copy kept before.
  [[nodiscard]] AtomicWriteResult Keep(const NetworkSettings& settings, const RelationTable& table,
                                       std::string_view fileName);

  // The copy the index names, read whole; nothing when there is none or it
  // cannot be read.
  [[nodiscard]] std::optional<RecoveryCopy> Find() const;

  // Removes the index, then the copy it names. Nothing there is no failure.
  void Remove();

  // The copy's name for the file it belongs to.
  static std::string CopyName(std::string_view fileName);

 private:
  std::string IndexPath() const;
  std::optional<std::string> IndexedCopyName(std::string* fileName) const;

  std::string folder_;
};

// Reads a recovery copy into `table` as a .bpc file is read. The copy holds
// the settings as they were in memory; when they never passed their check
// (the user cancelled the settings dialog), the relations are read all the
// same and `settingsUsable` is false.
[[nodiscard]] BpcLoad ReadRecoveryCopy(std::span<const std::uint8_t> bytes, RelationTable& table,
                                       bool& settingsUsable);

}  // namespace corvessa
