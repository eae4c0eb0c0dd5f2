// EtherNet/IP commissioning commands: Enable and Disable BOOTP/DHCP on the
// selected devices, from the menus (with the wait cursor) and the buttons.

#include "app/provan_dlg.h"
#include "ui/prompts.h"
#include "ui/widgets/busy_cursor.h"
#include "ui/widgets/table.h"

namespace corvessa {

namespace {

bool HasSelection(Table& list, Prompts& prompts) {
  if (list.SelectedCount() > 0) return true;
  prompts.Message(LoadString(kIdsSelectAddressFirst), LoadString(kIdsSelectAddressCaption));
  return false;
}

}  // namespace

bool CProvanDlg::EnableBootpDhcp() {
  if (!HasSelection(*relationList_, *prompts_)) return false;
  // The EtherNet/IP sessions are not part of this build yet: nothing is sent.
  return false;
}

bool CProvanDlg::DisableBootpDhcp() {
  if (!HasSelection(*relationList_, *prompts_)) return false;
  // The EtherNet/IP sessions are not part of this build yet: nothing is sent.
  return false;
}

void CProvanDlg::OnEnableBootpDhcp() {
  const BusyCursor busy;
  EnableBootpDhcp();
}

void CProvanDlg::OnDisableBootpDhcp() {
  const BusyCursor busy;
  DisableBootpDhcp();
}

void CProvanDlg::OnButtonEnable() {
  EnableBootpDhcp();
  relationList_->setFocus();
}

void CProvanDlg::OnButtonDisable() {
  DisableBootpDhcp();
  relationList_->setFocus();
}

}  // namespace corvessa
