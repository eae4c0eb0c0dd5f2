// Ending from outside: SIGTERM, SIGHUP and SIGINT, and the desktop session
// ending (logout). The window's part is to end every modal loop and to save
// the network settings; what happens to unsaved relations is the session's
// (SessionRecovery).

#include <QCoreApplication>

#include "app/main_window.h"
#include "ui/network_settings_store.h"

namespace corvessa {

void MainWindow::EndSession() {
  if (ending_) return;
  ending_ = true;
  // Every dialog and message box over the window ends as if cancelled, then
  // the window's own loop; DoModal keeps what must be kept once they have
  // all returned, so no answer given on the way can lose the list.
  if (env_.endModalLoops) {
    env_.endModalLoops();
  } else {
    QCoreApplication::exit(0);
  }
  QDialog::done(QDialog::Rejected);
}

void MainWindow::FinishSession() {
  // A start-up that ended at a fatal step has nothing to keep (and the
  // process is gone by then anyway).
  if (!started_) return;
  recovery_->Finish();
  // The network settings are saved by the destructor, as on every end.
}

bool MainWindow::OnCommitData(bool mayAsk) {
  // The session may end the process at any moment after this: the settings
  // are saved now, as a normal exit saves them.
  if (started_) SaveNetworkSettings(store_, ReadLastAdapter(store_), session_.Settings());
  return recovery_->OnCommitData(mayAsk);
}

}  // namespace corvessa
