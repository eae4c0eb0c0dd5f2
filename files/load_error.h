#pragma once
// Why a relation file could not be loaded. The numbers are the load error
// codes the file commands turn into their message boxes.

#include <string>
#include <string_view>

namespace corvessa {

enum class LoadError : int {
  None = 0,
  UnexpectedEnd = 1,    // CSV: nothing follows the header line
  CorruptSettings = 7,  // .bpc: the settings block does not pass its checks
  TrailingData = 8,     // .bpc: bytes follow the records
  Access = 100,         // the file cannot be opened or read
};

struct LoadErrorBox {
  std::string text;
  std::string_view caption;
};

// The message box for a failed load of the file at `path` (its full path).
// Undefined for LoadError::None.
LoadErrorBox LoadErrorMessage(LoadError error, std::string_view path);

}  // namespace corvessa
