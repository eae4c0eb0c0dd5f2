#pragma once
// The command line of corvessa-export.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "files/kea_config.h"

namespace corvessa::cli {

enum class ExportFormat { Kea, Dnsmasq };

struct ExportOptions {
  ExportFormat format = ExportFormat::Kea;
  std::string input;   // .bpc or .csv
  std::string output;  // empty: standard output
  std::optional<std::string> interfaceName;
  std::optional<std::string> serverAddress;
  SettingsOptions settings;
  KeaOptions kea;
  std::optional<std::string> haPrimaryUrl, haStandbyUrl;
  KeaHighAvailability::Role haRole = KeaHighAvailability::Role::Primary;
  bool help = false;
  bool version = false;
};

struct ParsedOptions {
  ExportOptions options;
  std::string error;  // empty when the command line was understood
};

ParsedOptions ParseExportOptions(const std::vector<std::string>& arguments);

// --help: usage and a description that man pages can be made from.
std::string ExportHelpText();

}  // namespace corvessa::cli
