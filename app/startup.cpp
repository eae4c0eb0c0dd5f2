// The start-up sequence of the main window, in the order the user meets it.

#include <span>

#include "app/main_window.h"
#include "app/network_dialogs.h"
#include "netconfig/startup_checks.h"
#include "relations/presence_texts.h"
#include "server/server_runtime.h"
#include "ui/network_settings_store.h"
#include "ui/prompts.h"
#include "ui/widgets/table.h"

namespace corvessa {

namespace {

std::vector<std::string> Headers(std::span<const std::string_view> texts) {
  return {texts.begin(), texts.end()};
}

}  // namespace

bool MainWindow::FatalStartup(std::string_view text, std::string_view caption) {
  prompts_->Message(text, caption);
  CallFatalExit(kFatalExitStatus);
  return false;
}

void MainWindow::SetupLists() {
  historyList_->SetupColumns(Headers(text::kHistoryColumns));
  // The relation's own columns, then what the last identity scan said of it.
  std::vector<std::string> relationHeaders = Headers(text::kRelationColumns);
  relationHeaders.insert(relationHeaders.end(), presence_text::kColumns.begin(), presence_text::kColumns.end());
  relationList_->SetupColumns(relationHeaders);
  // "Type  " fits its header but not "BOOTP" in the lists' bold font.
  constexpr int kTypeColumn = 1;
  for (Table* list : {historyList_, relationList_}) {
    for (const std::string_view type : {text::kTypeBootp, text::kTypeDhcp}) list->WidenColumnFor(kTypeColumn, type);
  }
}

bool MainWindow::StartServer(const std::string& interfaceName) {
  // Each start begins with an empty relation list.
  session_.ClearRelations();
  const std::optional<StartFailure> failure =
      runtime_->StartServer(interfaceName, ReadInterfaceAddressText(store_, interfaceName));
  if (failure) return FatalStartup(failure->text, LoadString(kIdsNetworkSetupWarningCaption));
  return true;
}

bool MainWindow::OnInitDialog() {
  // The controls exist since the constructor; what follows needs them.
  const StartupSurroundings surroundings{store_, *host_, *firewall_, *prompts_, env_.startSockets,
                                         [this] { return networkDialogs_->SelectInterface(this); }};
  switch (RunStartupChecks(surroundings)) {
    case StartupVerdict::Go:
      break;
    case StartupVerdict::Fatal:
      CallFatalExit(kFatalExitStatus);
      return false;
    case StartupVerdict::Declined:
      CallFatalExit(0);
      return false;
  }
  const std::string adapter = ReadLastAdapter(store_);
  if (!StartServer(adapter)) return false;
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
  if (recovery_->Offer()) {
    if (env_.arguments.size() == 1 && env_.arguments.front() != session_.CurrentFileName()) {
      StatusLine(StatusText() + FormatText(text::kRecoveryFileNotOpened, env_.arguments.front().c_str()));
    }
  } else if (env_.arguments.size() == 1) {
    if (session_.SetCurrentFileName(env_.arguments.front())) {
      fileCommands_.LoadConfiguration(false);
    } else {
      // A path longer than the name buffer is not cut down to another file's name.
      StatusLine(LoadString(kIdsLoadFailed));
    }
  }
  UpdateButtons();
  return true;
}

int MainWindow::DoModal() {
  const int result = OnInitDialog() ? exec() : QDialog::Rejected;
  if (ending_) FinishSession();
  return result;
}

}  // namespace corvessa
