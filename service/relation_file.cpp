#include "service/relation_file.h"

#include <fcntl.h>
#include <unistd.h>

#include "core/address.h"
#include "core/posix_file.h"
#include "core/strings.h"
#include "files/bpc_reader.h"
#include "files/file_type.h"
#include "files/load_error.h"
#include "session/session.h"

namespace corvessa::service {

namespace {

// The window's text says the file cannot be read; a service started by
// someone else needs to know why (a file only its owner may read is the
// usual one).
std::string AccessCause(const std::string& path) {
  int error = 0;
  const int fd = OpenRegularFile(path, O_RDONLY, error);
  if (fd >= 0) {
    ::close(fd);
    return {};
  }
  return ErrorText(error);
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  return text;
}

// Why `settings` fail IsValidNetworkSettings, one reason a line. Options are
// checked as they are read, and a .bpc file with such settings does not load,
// so mostly it is the mask that a .csv file cannot bring.
std::vector<std::string> SettingsFaults(const NetworkSettings& settings) {
  std::vector<std::string> faults;
  if (IsValidNetworkSettings(settings)) return faults;
  if (!IsValidMask(settings.subnetMask)) {
    faults.push_back(settings.subnetMask == 0 ? "no subnet mask: give --subnet-mask"
                                              : "the subnet mask " + IpToText(settings.subnetMask) + " is not valid");
  }
  const struct {
    const char* name;
    std::uint32_t value;
  } addresses[] = {{"gateway", settings.gateway}, {"dns1", settings.dns1}, {"dns2", settings.dns2}};
  for (const auto& address : addresses) {
    if (address.value != 0 && !IsValidIp(address.value)) {
      faults.push_back(std::string("the ") + address.name + " " + IpToText(address.value) + " is not a valid address");
    }
  }
  if (faults.empty()) faults.push_back("they are not valid");
  return faults;
}

}  // namespace

ListLoad LoadServedList(const std::string& path, const cli::SettingsOptions& options) {
  ListLoad result;
  Session session;
  const FileLoadOutcome load = session.Load(path);
  if (load.unsupportedVersion) {
    result.failure = UnsupportedVersionText(*load.unsupportedVersion);
    return result;
  }
  if (!load.Succeeded()) {
    result.failure = LoadErrorMessage(load.error, path).text;
    if (load.error == LoadError::Access) {
      if (const std::string cause = AccessCause(path); !cause.empty()) result.failure += "\n(" + cause + ")";
    }
    return result;
  }

  ServedList list;
  list.settings = session.Settings();
  std::vector<std::string> faults = cli::ApplySettingsOptions(options, list.settings);
  if (faults.empty()) faults = SettingsFaults(list.settings);
  if (!faults.empty()) {
    const std::string source = IsCsvName(path) ? "the options (a .csv file holds no settings)" : "the file and the options";
    result.failure = "The network settings from " + source + " cannot be served:\n" + Joined(faults);
    return result;
  }
  if (load.limitReached) {
    list.warnings.push_back(FormatString(kIdsRelationLimitOmitted, RelationCapacity, RelationCapacity));
  }
  if (load.omitted > 0) list.warnings.push_back(FormatString(kIdsLoadCompleteOmitted, load.omitted));
  list.relations = std::move(session.Relations());
  result.list = std::move(list);
  return result;
}

}  // namespace corvessa::service
