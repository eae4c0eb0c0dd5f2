#include "session/handoff_commands.h"

#include <optional>
#include <string>

#include "core/address.h"
#include "core/strings.h"
#include "files/dnsmasq_config.h"
#include "files/file_access.h"
#include "files/load_error.h"
#include "session/handoff_texts.h"
#include "ui/file_dialogs.h"
#include "ui/prompts.h"

namespace corvessa {

namespace {

// Kea's HA listener of this machine, where the primary is reached by default.
constexpr std::string_view kDefaultPeerPort = "8005";

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += (text.empty() ? "" : "\n") + line;
  return text;
}

// "plant.conf" -> "plant-standby.conf": the standby's file beside the primary's.
std::string StandbyPath(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return hasExtension ? path.substr(0, dot) + "-standby" + path.substr(dot) : path + "-standby";
}

int BootpDevices(const RelationTable& table) {
  int count = 0;
  for (const auto& relation : table) count += relation->type == kRelationTypeBootp ? 1 : 0;
  return count;
}

}  // namespace

void HandoffCommands::OnImport() {
  if (!files_.SaveBeforeReplacingList()) return;
  host_.StatusLine(LoadString(kIdsLoading));
  const std::optional<std::string> path = host_.FileChooser().Open(
      {std::string(handoff_text::kImportFilter), std::string(handoff_text::kConfExtension)});
  if (!path) {
    host_.StatusLine(LoadString(kIdsLoadAborted));
    return;
  }
  // As with Open, the old relations go whatever happens next.
  const HandoffLoad load = session_.Import(*path);
  if (load.limitReached) {
    host_.MessageBoxes().Message(FormatString(kIdsRelationLimitOmitted, RelationCapacity, RelationCapacity),
                                 LoadString(kIdsLimitReachedCaption));
  }
  if (load.unreadable) {
    const LoadErrorBox box = LoadErrorMessage(LoadError::Access, *path);
    host_.MessageBoxes().Message(box.text, box.caption);
  } else if (!load.Succeeded()) {
    host_.MessageBoxes().Message(FormatText(handoff_text::kImportFailed, path->c_str(), load.failure.c_str()),
                                 handoff_text::kImportFailedCaption);
  }
  if (!load.Succeeded()) {
    host_.StatusLine(LoadString(kIdsLoadFailed));
    return;
  }
  host_.StatusLine(load.omitted == 0 ? std::string(handoff_text::kImportComplete)
                                     : FormatText(handoff_text::kImportCompleteOmitted, load.omitted));
  host_.UpdateTitle();
}

std::optional<std::string> HandoffCommands::SaveExport(std::string_view filter, const HandoffExport& result) {
  if (!result.Succeeded()) {
    host_.MessageBoxes().Message(FormatText(handoff_text::kExportRefused, Joined(result.problems).c_str()),
                                 handoff_text::kExportFailedCaption);
    host_.StatusLine(handoff_text::kExportAborted);
    return std::nullopt;
  }
  std::optional<std::string> path =
      host_.FileChooser().Save({std::string(filter), std::string(handoff_text::kConfExtension)});
  if (!path) {
    host_.StatusLine(handoff_text::kExportAborted);
    return std::nullopt;
  }
  if (!SaveFileAtomically(*path, result.text)) {
    host_.StatusLine(FormatText(handoff_text::kExportWriteFailed, path->c_str()));
    return std::nullopt;
  }
  return path;
}

void HandoffCommands::OnExportKea() {
  host_.StatusLine(handoff_text::kExporting);
  const HandoffSource source = source_();
  KeaOptions options;
  const int bootpDevices = BootpDevices(session_.Relations());
  const std::string peerUrl = "http://" + IpToText(source.serverAddress) + ":" + std::string(kDefaultPeerPort) + "/";
  if (!kea_.Ask(options, bootpDevices, peerUrl)) {
    host_.StatusLine(handoff_text::kExportAborted);
    return;
  }
  // A device seen asking by BOOTP keeps its answers.
  if (bootpDevices > 0) options.bootpHook = true;
  const std::optional<std::string> path = SaveExport(handoff_text::kKeaFilter, WriteKeaConfig(source, options));
  if (!path) return;
  const int count = session_.Relations().Count();
  if (!options.highAvailability) {
    host_.StatusLine(FormatText(handoff_text::kExportComplete, count, "Kea", path->c_str()));
    return;
  }
  options.highAvailability->thisServer = KeaHighAvailability::Role::Standby;
  const std::string standbyPath = StandbyPath(*path);
  if (!SaveFileAtomically(standbyPath, WriteKeaConfig(source, options).text)) {
    host_.StatusLine(FormatText(handoff_text::kExportWriteFailed, standbyPath.c_str()));
    return;
  }
  host_.StatusLine(FormatText(handoff_text::kExportPairComplete, count, path->c_str(), standbyPath.c_str()));
}

void HandoffCommands::OnExportDnsmasq() {
  host_.StatusLine(handoff_text::kExporting);
  const HandoffSource source = source_();
  const std::optional<std::string> path = SaveExport(handoff_text::kDnsmasqFilter, WriteDnsmasqConfig(source));
  if (path) {
    host_.StatusLine(
        FormatText(handoff_text::kExportComplete, session_.Relations().Count(), "dnsmasq", path->c_str()));
  }
}

}  // namespace corvessa
