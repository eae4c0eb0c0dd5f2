#pragma once
// The command line of corvessa-server.

#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace corvessa::service {

inline constexpr int kExitServed = 0;  // ended by SIGTERM or SIGINT
inline constexpr int kExitUsage = 2;   // a command line that is not understood
// A start that cannot serve ends with netconfig's kFatalExitStatus (1).

struct ServerOptions {
  std::string interfaceName;
  std::string file;  // .bpc or .csv
  std::optional<std::string> serverAddress;
  cli::SettingsOptions settings;
  bool help = false;
  bool version = false;
};

struct ParsedServerOptions {
  ServerOptions options;
  std::string error;  // empty when the command line was understood
};

ParsedServerOptions ParseServerOptions(const std::vector<std::string>& arguments);

// --help: usage, and what the service does, in the words of its man page.
std::string ServerHelpText();

}  // namespace corvessa::service
