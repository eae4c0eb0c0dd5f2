// Hand-over to and from a permanent DHCP service: File, Export to Kea or
// dnsmasq, and File, Import of their reservations into the relation list.

#include <optional>
#include <string>

#include "app/handoff_texts.h"
#include "app/provan_dlg.h"
#include "app/save_question.h"
#include "core/address.h"
#include "files/dnsmasq_config.h"
#include "files/file_access.h"
#include "files/handoff_import.h"
#include "files/kea_config.h"
#include "files/load_error.h"
#include "files/widgets/kea_export_dlg.h"
#include "server/server_runtime.h"
#include "ui/network_settings_store.h"
#include "ui/prompts.h"
#include "ui/widgets/file_dialogs.h"
#include "ui/widgets/table.h"

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

// The interface the server runs on and its address there; before the server
// has been set up, the address stored for the interface.
HandoffSource SourceOf(const RelationTable& table, const NetworkSettings& settings, const SettingsStore& store,
                       const ServerRuntime& runtime) {
  HandoffSource source{table, settings, ReadLastAdapter(store), runtime.Identity().ServerAddressHostOrder()};
  if (source.serverAddress == 0 && !TextToIp(ReadInterfaceAddressText(store, source.interfaceName), source.serverAddress)) {
    source.serverAddress = 0;
  }
  return source;
}

int BootpDevices(const RelationTable& table) {
  int count = 0;
  for (const auto& relation : table) count += relation->type == kRelationTypeBootp ? 1 : 0;
  return count;
}

}  // namespace

void CProvanDlg::OnImportConfiguration() {
  if (!SaveBeforeReplacingList(*this)) return;
  StatusLine(LoadString(kIdsLoading));
  const std::optional<std::string> path = fileDialogs_->Open(
      {std::string(handoff_text::kImportFilter), std::string(handoff_text::kConfExtension)});
  if (!path) {
    StatusLine(LoadString(kIdsLoadAborted));
    return;
  }
  const std::optional<std::vector<std::uint8_t>> bytes = ReadFileLocked(*path);
  // As with Open, the old relations go whatever happens next.
  relationList_->Rows()->DeleteAll();
  table_.Clear();
  HandoffLoad load;
  if (!bytes) {
    const LoadErrorBox box = LoadErrorMessage(LoadError::Access, *path);
    prompts_->Message(box.text, box.caption);
  } else {
    load = ReadHandoffFile(*bytes, table_, *prompts_);
    if (!load.Succeeded()) {
      prompts_->Message(FormatText(handoff_text::kImportFailed, path->c_str(), load.failure.c_str()),
                        handoff_text::kImportFailedCaption);
    }
  }
  if (!bytes || !load.Succeeded()) {
    table_.Clear();
    StatusLine(LoadString(kIdsLoadFailed));
  } else {
    for (const auto& relation : table_) AddRelationRow(relation.get(), 0);
    StatusLine(load.omitted == 0 ? std::string(handoff_text::kImportComplete)
                                 : FormatText(handoff_text::kImportCompleteOmitted, load.omitted));
    // The list now lives in no file of its own: Save asks for a name, and a
    // later Save can never write .bpc bytes over the imported configuration.
    currentFileName_.clear();
    UpdateTitle();
    modified_ = true;
  }
  UpdateRelationCounter();
  UpdateButtons();
}

namespace {

// Writes an export to a file chosen with `filter`, or says why it was
// refused; the status line tells how it went. The chosen path, or nothing.
std::optional<std::string> SaveExport(CProvanDlg& window, Prompts& prompts, FileDialogs& dialogs,
                                      std::string_view filter, const HandoffExport& result) {
  if (!result.Succeeded()) {
    prompts.Message(FormatText(handoff_text::kExportRefused, Joined(result.problems).c_str()),
                    handoff_text::kExportFailedCaption);
    window.StatusLine(handoff_text::kExportAborted);
    return std::nullopt;
  }
  std::optional<std::string> path = dialogs.Save({std::string(filter), std::string(handoff_text::kConfExtension)});
  if (!path) {
    window.StatusLine(handoff_text::kExportAborted);
    return std::nullopt;
  }
  if (!SaveFileAtomically(*path, result.text)) {
    window.StatusLine(FormatText(handoff_text::kExportWriteFailed, path->c_str()));
    return std::nullopt;
  }
  return path;
}

}  // namespace

void CProvanDlg::OnExportKea() {
  StatusLine(handoff_text::kExporting);
  const HandoffSource source = SourceOf(table_, settings_, store_, *runtime_);
  KeaOptions options;
  const int bootpDevices = BootpDevices(table_);
  bool accepted = false;
  if (env_.runKeaExportDialog) {
    accepted = env_.runKeaExportDialog(options, bootpDevices);
  } else {
    CKeaExportDlg dialog(options, "http://" + IpToText(source.serverAddress) + ":" + std::string(kDefaultPeerPort) + "/",
                         bootpDevices, this);
    accepted = dialog.exec() == QDialog::Accepted;
    if (accepted) options = dialog.Options();
  }
  if (!accepted) {
    StatusLine(handoff_text::kExportAborted);
    return;
  }
  // A device seen asking by BOOTP keeps its answers.
  if (bootpDevices > 0) options.bootpHook = true;
  const std::optional<std::string> path =
      SaveExport(*this, *prompts_, *fileDialogs_, handoff_text::kKeaFilter, WriteKeaConfig(source, options));
  if (!path) return;
  if (!options.highAvailability) {
    StatusLine(FormatText(handoff_text::kExportComplete, table_.Count(), "Kea", path->c_str()));
    return;
  }
  options.highAvailability->thisServer = KeaHighAvailability::Role::Standby;
  const std::string standbyPath = StandbyPath(*path);
  if (!SaveFileAtomically(standbyPath, WriteKeaConfig(source, options).text)) {
    StatusLine(FormatText(handoff_text::kExportWriteFailed, standbyPath.c_str()));
    return;
  }
  StatusLine(FormatText(handoff_text::kExportPairComplete, table_.Count(), path->c_str(), standbyPath.c_str()));
}

void CProvanDlg::OnExportDnsmasq() {
  StatusLine(handoff_text::kExporting);
  const HandoffSource source = SourceOf(table_, settings_, store_, *runtime_);
  const std::optional<std::string> path =
      SaveExport(*this, *prompts_, *fileDialogs_, handoff_text::kDnsmasqFilter, WriteDnsmasqConfig(source));
  if (path) StatusLine(FormatText(handoff_text::kExportComplete, table_.Count(), "dnsmasq", path->c_str()));
}

}  // namespace corvessa
