// Network settings of the selected interface, and the change of interface.

#include <optional>

#include "app/command_ids.h"
#include "app/main_window.h"
#include "app/network_dialogs.h"
#include "core/settings_names.h"
#include "ui/network_settings_store.h"
#include "ui/prompts.h"

namespace corvessa {

namespace {

// Status text when the save question stopped a change of interface.
constexpr std::string_view kInterfaceNotChanged = "The network interface was not changed.";

std::string Trimmed(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n\v\f";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kBlanks);
  return std::string(text.substr(first, last - first + 1));
}

}  // namespace

void MainWindow::LoadNetworkSettings(std::string_view section) {
  session_.SetSettings(ReadNetworkSettings(store_, section), false);
  if (IsValidNetworkSettings(session_.Settings())) return;
  prompts_->Message(LoadString(kIdsConfigureNetworkSettings), LoadString(kIdsNetworkSetupCaption));
  OnCommand(ids::kNetworkSettings);
}

void MainWindow::OnNetworkSettings() {
  const std::optional<NetworkSettings> entered = networkDialogs_->EditNetworkSettings(this, session_.Settings());
  if (!entered) return;
  NetworkSettings settings = session_.Settings();
  settings.subnetMask = entered->subnetMask;
  settings.gateway = entered->gateway;
  settings.dns1 = entered->dns1;
  settings.dns2 = entered->dns2;
  settings.SetDomainName(entered->DomainName());
  // The settings are part of a saved configuration file.
  session_.SetSettings(settings, true);
}

void MainWindow::OnSelectInterface() {
  const std::string previousSetting = ReadLastAdapter(store_);
  const std::string previous = Trimmed(previousSetting);
  if (!networkDialogs_->SelectInterface(this)) return;
  const std::string chosen = Trimmed(ReadLastAdapter(store_));
  if (chosen == previous) return;
  // The relations go with the old interface: unsaved ones are offered first.
  if (!fileCommands_.SaveBeforeInterfaceChange()) {
    // The dialog has already recorded the new choice; the server stays where
    // it is, so the setting must say so again.
    (void)store_.SetString(settings_names::kVersionSection, settings_names::kLastAdapter, previousSetting);
    StatusLine(kInterfaceNotChanged);
    return;
  }

  OnClearHistory();
  ForgetScannedDevices();
  SaveNetworkSettings(store_, previous, session_.Settings());
  // Empties the relation list; a failure ends the program.
  if (!StartServer(chosen)) return;
  // The relations are gone, saved or discarded: the window is as after New,
  // so no later Save (or Yes at exit) writes an empty list over the file.
  (void)session_.SetCurrentFileName({});
  session_.SetModified(false);
  UpdateTitle();
  RunPortFirewallCheck(chosen);
  LoadNetworkSettings(chosen);
}

}  // namespace corvessa
