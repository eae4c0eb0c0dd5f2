#include "app/network_dialogs.h"

#include "netconfig/widgets/interface_dialog.h"
#include "netconfig/widgets/network_settings_dialog.h"

namespace corvessa {

bool QtNetworkDialogs::SelectInterface(QWidget* parent) {
  InterfaceDialog dialog(store_, prompts_, host_, parent);
  return dialog.exec() == QDialog::Accepted;
}

std::optional<NetworkSettings> QtNetworkDialogs::EditNetworkSettings(QWidget* parent,
                                                                     const NetworkSettings& current) {
  NetworkSettingsDialog dialog(store_, prompts_, host_, parent);
  dialog.SetSettings(current);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Settings();
}

}  // namespace corvessa
