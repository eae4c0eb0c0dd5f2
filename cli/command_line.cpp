#include "cli/command_line.h"

#include "core/address.h"

namespace corvessa::cli {

CommandLine ReadCommandLine(const std::vector<std::string>& arguments, const OptionTable& table) {
  CommandLine read;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    std::string name;
    std::optional<std::string> value;
    if (arg.rfind("--", 0) == 0 && arg.size() > 2) {
      const std::size_t equals = arg.find('=');
      name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
      if (equals != std::string::npos) value = arg.substr(equals + 1);
    } else if (arg.size() == 2 && arg[0] == '-' && table.shortNames.count(arg[1]) != 0) {
      name = table.shortNames.at(arg[1]);
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      read.error = "unknown option '" + arg + "'";
      return read;
    } else {
      read.operands.push_back(arg);
      continue;
    }
    if (const auto flag = table.flags.find(name); flag != table.flags.end() && !value) {
      flag->second();
      continue;
    }
    const auto handler = table.valued.find(name);
    if (handler == table.valued.end()) {
      read.error = "unknown option '" + arg + "'";
      return read;
    }
    if (!value) {
      if (i + 1 >= arguments.size()) {
        read.error = "option '" + arg + "' needs a value";
        return read;
      }
      value = arguments[++i];
    }
    if (!handler->second(*value)) {
      read.error = "invalid value '" + *value + "' for --" + name;
      return read;
    }
  }
  return read;
}

void AddSettingsOptions(OptionTable& table, SettingsOptions& target) {
  table.valued["subnet-mask"] = [&target](const std::string& v) { return target.subnetMask = v, true; };
  table.valued["gateway"] = [&target](const std::string& v) { return target.gateway = v, true; };
  table.valued["dns1"] = [&target](const std::string& v) { return target.dns1 = v, true; };
  table.valued["dns2"] = [&target](const std::string& v) { return target.dns2 = v, true; };
  table.valued["domain"] = [&target](const std::string& v) { return target.domain = v, true; };
}

const char* const kSettingsOptionsHelp =
    "      --subnet-mask=MASK     the subnet mask handed to the devices\n"
    "      --gateway=ADDR         the router handed to the devices\n"
    "      --dns1=ADDR            the primary name server\n"
    "      --dns2=ADDR            the secondary name server\n"
    "      --domain=NAME          the domain name\n";

namespace {

// One address option into `target`; a reason when it does not read.
void ApplyAddress(const std::optional<std::string>& text, std::uint32_t& target, std::string_view name,
                  std::vector<std::string>& problems, bool mask = false) {
  if (!text) return;
  if (text->empty() || *text == "0.0.0.0") {
    target = 0;
    return;
  }
  std::uint32_t value = 0;
  if (mask ? !TextToMask(*text, value) : !TextToIp(*text, value)) {
    problems.push_back("--" + std::string(name) + "=" + *text + " is not a valid " + (mask ? "mask" : "address"));
    return;
  }
  target = value;
}

}  // namespace

std::vector<std::string> ApplySettingsOptions(const SettingsOptions& given, NetworkSettings& settings) {
  std::vector<std::string> problems;
  ApplyAddress(given.subnetMask, settings.subnetMask, "subnet-mask", problems, true);
  ApplyAddress(given.gateway, settings.gateway, "gateway", problems);
  ApplyAddress(given.dns1, settings.dns1, "dns1", problems);
  ApplyAddress(given.dns2, settings.dns2, "dns2", problems);
  if (given.domain) {
    if (given.domain->size() > kDomainNameSize) {
      problems.push_back("--domain is longer than " + std::to_string(kDomainNameSize) + " characters");
    } else {
      settings.SetDomainName(*given.domain);
    }
  }
  return problems;
}

}  // namespace corvessa::cli
