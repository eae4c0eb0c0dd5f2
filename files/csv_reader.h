#pragma once
// Reading relations from comma-separated text.

#include <cstdint>
#include <span>

#include "files/load_error.h"
#include "relations/relation_table.h"

namespace corvessa {

struct CsvLoad {
  LoadError error = LoadError::None;  // UnexpectedEnd when nothing follows the header line
  int omitted = 0;                    // record lines that were refused or never read
  bool limitReached = false;          // the table filled up before the last record
  bool Succeeded() const { return error == LoadError::None; }
};

// Appends the accepted relations to `table`, which the caller has emptied.
// The network settings are not part of a CSV file. After a failed load the
// table is empty.
[[nodiscard]] CsvLoad ReadCsv(std::span<const std::uint8_t> file, RelationTable& table);

}  // namespace corvessa
