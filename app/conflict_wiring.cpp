// Address conflicts in the window: the probe's read events and deadline,
// what its finished probes led to, and Confirm Address.

#include <algorithm>

#include <QSocketNotifier>

#include "app/main_window.h"
#include "core/address.h"
#include "core/strings.h"
#include "server/conflict_texts.h"
#include "server/server_runtime.h"

namespace corvessa {

void MainWindow::SetUpAddressProbe() {
  probeTimer_.setSingleShot(true);
  connect(&probeTimer_, &QTimer::timeout, this, &MainWindow::OnProbeTimer);
}

void MainWindow::ProbeChanged() {
  if (probeNotifier_ != nullptr) {
    probeNotifier_->setEnabled(false);
    probeNotifier_->deleteLater();
    probeNotifier_ = nullptr;
  }
  const int fd = runtime_->ProbeFd();
  if (fd < 0) return;
  probeNotifier_ = new QSocketNotifier(static_cast<qintptr>(fd), QSocketNotifier::Read, this);
  connect(probeNotifier_, &QSocketNotifier::activated, this, &MainWindow::OnProbeActivated);
}

void MainWindow::ScheduleProbeCheck(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  probeTimer_.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count())));
}

void MainWindow::OnProbeActivated() { ShowProbeOutcomes(runtime_->OnProbeReadable()); }

void MainWindow::OnProbeTimer() { ShowProbeOutcomes(runtime_->OnProbeDeadline()); }

void MainWindow::ShowProbeOutcomes(const std::vector<RequestOutcome>& outcomes) {
  if (outcomes.empty()) return;
  const int lastVisible = RelationListLastFullyVisibleRow();
  std::vector<Relation*> served;
  for (const RequestOutcome& outcome : outcomes) {
    StatusLine(outcome.statusText);
    if (outcome.served != nullptr) served.push_back(outcome.served);
  }
  if (!served.empty()) {
    session_.NoteServed(served);
    EnsureRelationRowVisible(lastVisible);
  }
  // Confirm Address follows the conflicts.
  UpdateButtons();
}

int MainWindow::SelectedInConflict() const {
  int count = 0;
  for (const Relation* relation : SelectedRelations()) {
    if (relation != nullptr && runtime_->InConflict(relation->ipAddress)) ++count;
  }
  return count;
}

void MainWindow::OnConfirmAddress() {
  for (const Relation* relation : SelectedRelations()) {
    if (relation == nullptr || !runtime_->ConfirmAddress(relation->ipAddress)) continue;
    StatusLine(FormatText(text::kConfirmedFormat, IpToText(relation->ipAddress).c_str(),
                          RelationMacText(*relation).c_str()));
  }
  UpdateButtons();
}

}  // namespace corvessa
