#include "app/network_dialogs.h"

#include "netconfig/widgets/dialog_adapter.h"
#include "netconfig/widgets/set_defaults_dlg.h"

namespace corvessa {

bool QtNetworkDialogs::SelectInterface(QWidget* parent) {
  CDialogAdapter dialog(store_, prompts_, host_, parent);
  return dialog.exec() == QDialog::Accepted;
}

std::optional<NetworkSettings> QtNetworkDialogs::EditNetworkSettings(QWidget* parent,
                                                                     const NetworkSettings& current) {
  CSetDefaultsDlg dialog(store_, prompts_, host_, parent);
  dialog.SetSettings(current);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Settings();
}

}  // namespace corvessa
