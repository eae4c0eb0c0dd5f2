// The server socket's read events, and the window's commands on the server:
// Clear History and the network reset message.

#include <QElapsedTimer>
#include <QLabel>
#include <QSocketNotifier>

#include "app/main_window.h"
#include "server/server_runtime.h"
#include "ui/widgets/busy_cursor.h"
#include "ui/widgets/table.h"

namespace corvessa {

namespace {

constexpr int kSocketEventsPerActivation = 128;
constexpr qint64 kSocketEventBudgetNs = 8'000'000;
// Lists redrawn 40 times a second look live; more only slows a burst down.
constexpr int kPaintIntervalMs = 25;

}  // namespace

void MainWindow::SocketChanged() {
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
  connect(notifier_, &QSocketNotifier::activated, this, &MainWindow::OnSocketActivated);
}

void MainWindow::OnSocketActivated() {
  // Each read event still receives and handles one datagram, but the events
  // of datagrams already waiting are handled before the window paints, as a
  // message queue delivers its messages before a repaint: a power-up burst
  // would otherwise pay for a repaint of both lists per datagram and fall
  // behind the devices' retries. The relation list follows the served
  // relations once, after the last of them. Count and time are bounded so
  // input and painting still get their turn; the notifier fires again for
  // whatever is left.
  //
  // While requests keep coming, the lists and the status line are drawn at
  // most once per paint interval: the first events after a pause paint at
  // once, later ones wait until the interval is over and paint together.
  const bool holdPaint = paintHold_.isActive();
  if (holdPaint && !requestViewsHeld_) {
    requestViewsHeld_ = true;
    SetRequestViewsUpdatesEnabled(false);
  }
  QElapsedTimer started;
  started.start();
  const int fd = runtime_->Fd();
  handlingSocketEvents_ = true;
  for (int handled = 0;;) {
    if (const std::optional<RequestOutcome> outcome = runtime_->OnServerSocketEvent()) {
      if (outcome->served != nullptr) servedInBatch_.push_back(outcome->served);
      StatusLine(outcome->statusText);
    }
    // A receive error restarts the socket; the new one gets its own notifier.
    if (++handled >= kSocketEventsPerActivation || started.nsecsElapsed() >= kSocketEventBudgetNs ||
        runtime_->Fd() != fd || !runtime_->DatagramWaiting()) {
      break;
    }
  }
  handlingSocketEvents_ = false;
  if (!servedInBatch_.empty()) {
    // The list did not change during the batch: its visible rows are still
    // the ones the served requests saw.
    const int lastVisible = RelationListLastFullyVisibleRow();
    session_.NoteServed(servedInBatch_);
    servedInBatch_.clear();
    EnsureRelationRowVisible(lastVisible);
  }
  if (!holdPaint) paintHold_.start();
}

void MainWindow::HandleDatagram(const std::uint8_t* data, std::size_t length) {
  const int lastVisible = RelationListLastFullyVisibleRow();
  const std::optional<RequestOutcome> outcome = runtime_->HandleDatagram(data, length);
  if (!outcome) return;
  StatusLine(outcome->statusText);
  if (outcome->served == nullptr) return;
  Relation* served[] = {outcome->served};
  session_.NoteServed(served);
  EnsureRelationRowVisible(lastVisible);
}

void MainWindow::SetUpPaintHold() {
  paintHold_.setSingleShot(true);
  paintHold_.setInterval(kPaintIntervalMs);
  connect(&paintHold_, &QTimer::timeout, this, &MainWindow::OnPaintHoldOver);
}

void MainWindow::OnPaintHoldOver() {
  if (!requestViewsHeld_) return;
  requestViewsHeld_ = false;
  SetRequestViewsUpdatesEnabled(true);  // repaints what changed meanwhile
}

void MainWindow::SetRequestViewsUpdatesEnabled(bool enabled) {
  for (QWidget* view : {static_cast<QWidget*>(historyList_), static_cast<QWidget*>(relationList_),
                        static_cast<QWidget*>(statusLine_)}) {
    // A command's progress is never held back.
    if (view == statusLine_ && !enabled && CommissioningRunning()) continue;
    if (view != nullptr) view->setUpdatesEnabled(enabled);
  }
}

void MainWindow::OnClearHistory() { (void)runtime_->ClearHistory(); }

void MainWindow::OnResetNetworkSettings() {
  const BusyCursor busy;
  const std::vector<Relation*> selected = SelectedRelations();
  (void)runtime_->SendForceRenew(std::vector<const Relation*>(selected.begin(), selected.end()));
}

}  // namespace corvessa
