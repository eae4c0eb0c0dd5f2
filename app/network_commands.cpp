// Network settings of the selected interface, and the change of interface.

#include <optional>

#include "app/command_ids.h"
#include "app/network_dialogs.h"
#include "app/provan_dlg.h"
#include "server/server_runtime.h"
#include "ui/network_settings_store.h"
#include "ui/prompts.h"
#include "ui/widgets/table.h"

namespace corvessa {

namespace {

std::string Trimmed(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n\v\f";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kBlanks);
  return std::string(text.substr(first, last - first + 1));
}

}  // namespace

void CProvanDlg::LoadNetworkSettings(std::string_view section) {
  settings_ = ReadNetworkSettings(store_, section);
  if (IsValidNetworkSettings(settings_)) return;
  prompts_->Message(LoadString(kIdsConfigureNetworkSettings), LoadString(kIdsNetworkSetupCaption));
  OnCommand(ids::kNetworkSettings);
}

void CProvanDlg::OnNetworkSettings() {
  const std::optional<NetworkSettings> entered = networkDialogs_->EditNetworkSettings(this, settings_);
  if (!entered) return;
  settings_.subnetMask = entered->subnetMask;
  settings_.gateway = entered->gateway;
  settings_.dns1 = entered->dns1;
  settings_.dns2 = entered->dns2;
  settings_.SetDomainName(entered->DomainName());
  // The settings are part of a saved configuration file.
  modified_ = true;
}

void CProvanDlg::OnSelectInterface() {
  const std::string previousSetting = ReadLastAdapter(store_);
  const std::string previous = Trimmed(previousSetting);
  if (!networkDialogs_->SelectInterface(this)) return;
  const std::string chosen = Trimmed(ReadLastAdapter(store_));
  if (chosen == previous) return;
  // The relations go with the old interface: unsaved ones are offered first.
  if (!SaveBeforeInterfaceChange(previousSetting)) return;

  OnClearHistory();
  relationList_->Rows()->DeleteAll();
  SaveNetworkSettings(store_, previous, settings_);
  // Empties the relation table; a failure ends the program.
  if (!runtime_->StartServer(chosen)) return;
  // The relations are gone, saved or discarded: the window is as after New,
  // so no later Save (or Yes at exit) writes an empty list over the file.
  currentFileName_.clear();
  modified_ = false;
  UpdateTitle();
  // The counter would otherwise show the relations just discarded.
  UpdateRelationCounter();
  RunPortFirewallCheck(chosen);
  LoadNetworkSettings(chosen);
}

}  // namespace corvessa
