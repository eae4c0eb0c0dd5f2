#pragma once
// The type of a relation file is decided by its name alone: a name whose last
// three characters are csv, in any case, is a CSV file ("report.csv", and a
// name without an extension that ends in csv too); every other name, even
// "report.txt", is a .bpc file.

#include <string_view>

#include "core/ascii.h"

namespace corvessa {

inline bool IsCsvName(std::string_view path) { return EndsWithIgnoringAsciiCase(path, "csv"); }

// A name that ends in csv or bpc: what a file named on the command line must
// end in to be loaded.
inline bool HasRelationFileSuffix(std::string_view path) {
  return IsCsvName(path) || EndsWithIgnoringAsciiCase(path, "bpc");
}

}  // namespace corvessa
