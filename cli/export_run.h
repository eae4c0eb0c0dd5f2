#pragma once
// What corvessa-export does once its command line is understood.

#include <ostream>
#include <string>

#include "cli/export_options.h"

namespace corvessa::cli {

inline constexpr int kExitWritten = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;

// Reads the file, gathers interface, address and settings (the per-user
// settings file at `settingsPath`, then the .bpc file, then the options) and
// writes the configuration to `options.output` or `out`. Reasons for a
// refusal go to `err`, one a line.
int RunExport(const ExportOptions& options, const std::string& settingsPath, std::ostream& out, std::ostream& err);

}  // namespace corvessa::cli
