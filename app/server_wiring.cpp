// The server socket's read events, and the window's commands on the server:
// Clear History and the network reset message.

#include <mutex>

#include <QSocketNotifier>

#include "app/provan_dlg.h"
#include "server/server_runtime.h"
#include "ui/widgets/busy_cursor.h"

namespace corvessa {

void CProvanDlg::SocketChanged() {
  if (notifier_ != nullptr) {
    // It may be the notifier whose event is being handled right now (a socket
    // restart after a receive error): it goes once that event is over.
    notifier_->setEnabled(false);
    notifier_->deleteLater();
    notifier_ = nullptr;
  }
  const int fd = runtime_->Fd();
  if (fd < 0) return;
  notifier_ = new QSocketNotifier(static_cast<qintptr>(fd), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &CProvanDlg::OnSocketActivated);
}

void CProvanDlg::OnSocketActivated() {
  // One datagram per event; the notifier fires again while more are waiting.
  std::lock_guard held(runtime_->Lock());
  runtime_->OnServerSocketEvent();
}

void CProvanDlg::OnClearHistory() { (void)runtime_->ClearHistory(); }

void CProvanDlg::OnResetNetworkSettings() {
  const BusyCursor busy;
  const std::vector<Relation*> selected = SelectedRelations();
  (void)runtime_->SendForceRenew(std::vector<const Relation*>(selected.begin(), selected.end()));
}

}  // namespace corvessa
