#pragma once
// The command lines of Corvessa's programs for scripts and services, read the
// GNU way: "--name=value", "--name value", "-x value", flags and operands.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/network_settings.h"

namespace corvessa::cli {

struct OptionTable {
  // Options that take a value, by long name; false refuses the value.
  std::map<std::string, std::function<bool(const std::string&)>> valued;
  // Options without a value, by long name.
  std::map<std::string, std::function<void()>> flags;
  // One-letter names of either kind.
  std::map<char, std::string> shortNames;
};

struct CommandLine {
  std::vector<std::string> operands;  // the arguments that are no options, in order
  std::string error;                  // empty when the command line was understood
};

CommandLine ReadCommandLine(const std::vector<std::string>& arguments, const OptionTable& table);

// The network settings handed to the devices, as options give them.
struct SettingsOptions {
  std::optional<std::string> subnetMask{}, gateway{}, dns1{}, dns2{}, domain{};
};

// --subnet-mask, --gateway, --dns1, --dns2 and --domain into `target`.
void AddSettingsOptions(OptionTable& table, SettingsOptions& target);
// Their lines of a --help text.
extern const char* const kSettingsOptionsHelp;

// The given options over `settings`. An empty value or 0.0.0.0 clears an
// address. Returns one reason for each option that does not read; its
// field is then left as it was.
std::vector<std::string> ApplySettingsOptions(const SettingsOptions& given, NetworkSettings& settings);

}  // namespace corvessa::cli
