#include "cli/export_run.h"

#include <optional>
#include <vector>

#include "core/address.h"
#include "core/strings.h"
#include "files/bpc_reader.h"
#include "files/file_access.h"
#include "files/dnsmasq_config.h"
#include "files/load_error.h"
#include "session/session.h"
#include "ui/network_settings_store.h"
#include "ui/settings_store.h"

namespace corvessa::cli {

int RunExport(const ExportOptions& options, const std::string& settingsPath, std::ostream& out, std::ostream& err) {
  const auto refuse = [&](const std::vector<std::string>& reasons) {
    for (const auto& reason : reasons) err << "corvessa-export: " << reason << "\n";
    return kExitRefused;
  };

  const SettingsStore store(settingsPath);
  const std::string interfaceName = options.interfaceName.value_or(ReadLastAdapter(store));
  // The file is read as the window opens it; a .bpc file brings its settings.
  Session session;
  session.SetSettings(ReadNetworkSettings(store, interfaceName), false);
  const FileLoadOutcome load = session.Load(options.input);
  if (load.limitReached) {
    err << "corvessa-export: " << FormatString(kIdsRelationLimitOmitted, RelationCapacity, RelationCapacity) << "\n";
  }
  if (load.unsupportedVersion) return refuse({UnsupportedVersionText(*load.unsupportedVersion)});
  if (!load.Succeeded()) return refuse({LoadErrorMessage(load.error, options.input).text});
  if (load.omitted > 0) {
    err << "corvessa-export: " << load.omitted << " records of " << options.input
        << " were omitted because of errors or duplicates.\n";
  }
  NetworkSettings settings = session.Settings();
  const RelationTable& table = session.Relations();

  std::vector<std::string> problems;
  std::uint32_t serverAddress = 0;
  const std::string addressText = options.serverAddress.value_or(ReadInterfaceAddressText(store, interfaceName));
  if (!TextToIp(addressText, serverAddress)) {
    problems.push_back(addressText.empty() ? "no server address: give --server-address"
                                           : "the server address '" + addressText + "' is not valid");
  }
  for (std::string& problem : ApplySettingsOptions(options.settings, settings)) problems.push_back(std::move(problem));
  if (interfaceName.empty()) problems.push_back("no interface: give --interface");
  if (!problems.empty()) return refuse(problems);

  const HandoffSource source{table, settings, interfaceName, serverAddress};
  const HandoffExport result =
      options.format == ExportFormat::Kea ? WriteKeaConfig(source, options.kea) : WriteDnsmasqConfig(source);
  if (!result.Succeeded()) return refuse(result.problems);
  if (options.output.empty()) {
    out << result.text;
    out.flush();
    return out.good() ? kExitWritten : refuse({"standard output could not be written"});
  }
  if (!SaveFileAtomically(options.output, result.text)) return refuse({"'" + options.output + "' could not be written"});
  return kExitWritten;
}

}  // namespace corvessa::cli
