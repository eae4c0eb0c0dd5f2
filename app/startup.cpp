// The start-up sequence of the main window, in the order the user meets it.

#include <span>

#include <QTreeView>

#include "app/app_settings.h"
#include "app/network_dialogs.h"
#include "app/provan_dlg.h"
#include "netconfig/adapters.h"
#include "netconfig/firewall.h"
#include "netconfig/host_address.h"
#include "server/server_runtime.h"
#include "ui/network_settings_store.h"
#include "ui/widgets/table.h"
#include "ui/prompts.h"
#include "ui/widgets/table.h"

namespace corvessa {

namespace {

std::vector<std::string> Headers(std::span<const std::string_view> texts) {
  return {texts.begin(), texts.end()};
}

}  // namespace

bool CProvanDlg::FatalStartup(std::string_view text, std::string_view caption) {
  prompts_->Message(text, caption);
  CallFatalExit(kFatalExitStatus);
  return false;
}

void CProvanDlg::RunFirewallCheckOnFirstStart() {
  if (store_.GetDword(app_settings::kApplicationSection, app_settings::kFirstStart) != 0) return;
  // Recorded before the check: whatever happens next, this was the first start.
  store_.SetDword(app_settings::kApplicationSection, app_settings::kFirstStart, app_settings::kFirstStartDone);
  if (FirewallWarningNeeded(*firewall_)) {
    prompts_->Message(LoadString(kIdsFirewallWarning), LoadString(kIdsNetworkSetupWarningCaption));
  }
}

void CProvanDlg::SetupLists() {
  historyList_->SetupColumns(Headers(text::kHistoryColumns));
  relationList_->SetupColumns(Headers(text::kRelationColumns));
  // "Type  " fits its header but not "BOOTP" in the lists' bold font.
  constexpr int kTypeColumn = 1;
  for (Table* list : {historyList_, relationList_}) {
    for (const std::string_view type : {text::kTypeBootp, text::kTypeDhcp}) list->WidenColumnFor(kTypeColumn, type);
  }
}

bool CProvanDlg::OnInitDialog() {
  // The controls exist since the constructor; what follows needs them.
  RunFirewallCheckOnFirstStart();

  const bool socketsStarted = env_.startSockets ? env_.startSockets() : true;
  if (!socketsStarted) {
    return FatalStartup(LoadString(kIdsSocketsInitFailed), LoadString(kIdsNetworkSetupWarningCaption));
  }
  if (!HostHasUsableAddress(*host_)) {
    return FatalStartup(LoadString(kIdsNoValidIpAddress), LoadString(kIdsNetworkSetupWarningCaption));
  }
  // Several adapters: the user chooses. Giving up the choice ends the program
  // without a word, and without a failure: the user chose to leave.
  if (AutoSelectInterface(store_, *host_) && !networkDialogs_->SelectInterface(this)) {
    CallFatalExit(0);
    return false;
  }
  const std::string adapter = ReadLastAdapter(store_);
  if (!runtime_->StartServer(adapter)) return false;
  StartInterfaceWatch();

  // Linux window managers have no system menu to extend, so the About entry
  // lives in the Help menu only; the text must still be there.
  if (!HasString(kIdsAboutMenuItem)) return FatalStartup(text::kMenuLoadError, text::kMenuLoadError);
  started_ = true;

  setWindowIcon(icon_);
  SetupLists();

  RunPortFirewallCheck(adapter);
  LoadNetworkSettings(adapter);

  UpdateButtons();
  UpdateRelationCounter();
  // Relations kept when the program was last ended from outside are offered
  // once the server runs and the settings are loaded (the copy may hold
  // settings of its own), and before a file named on the command line:
  // restored, they are unsaved work, which opening the file would replace.
  // The file is then not opened, and the status line says so.
  if (OfferRecoveryCopy()) {
    if (env_.arguments.size() == 1 && env_.arguments.front() != currentFileName_) {
      StatusLine(StatusText() + FormatText(text::kRecoveryFileNotOpened, env_.arguments.front().c_str()));
    }
  } else if (env_.arguments.size() == 1) {
    if (SetCurrentFileName(env_.arguments.front())) {
      LoadConfiguration(false);
    } else {
      // A path longer than the name buffer is not cut down to another file's name.
      StatusLine(LoadString(kIdsLoadFailed));
    }
  }
  return true;
}

int CProvanDlg::DoModal() {
  const int result = OnInitDialog() ? exec() : QDialog::Rejected;
  if (ending_) FinishSession();
  return result;
}

}  // namespace corvessa
