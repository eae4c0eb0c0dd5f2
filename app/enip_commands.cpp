// EtherNet/IP commissioning commands: Enable and Disable BOOTP/DHCP on the
// selected devices, from the menus and the buttons. They run off the
// window's thread, so the server, the history and the window go on while
// devices are slow or silent. The progress window shows each device and its
// step and offers Cancel; the status line shows each text as it comes.
// Commands that would conflict are greyed meanwhile (see
// ConflictsWithCommissioning).

#include <QLabel>

#include <string_view>
#include <utility>
#include <vector>

#include "app/commissioning_runner.h"
#include "app/main_window.h"
#include "core/strings.h"
#include "enip/widgets/commissioning_dialog.h"
#include "ui/prompts.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/table.h"

namespace corvessa {

namespace {

// Copies of the selected relations, top to bottom: the run must never read
// the table, which the server changes on this thread.
std::vector<CommissionTarget> Targets(const std::vector<Relation*>& selected) {
  std::vector<CommissionTarget> targets;
  targets.reserve(selected.size());
  for (const Relation* relation : selected) targets.push_back(CommissionTarget(*relation));
  return targets;
}

}  // namespace

void MainWindow::SetUpCommissioning() {
  commissioning_ = std::make_unique<CommissioningRunner>();
  commissioningDialog_ = new CommissioningDialog(this);
  connect(commissioningDialog_, &CommissioningDialog::CancelRequested, this, [this] { commissioning_->Cancel(); });
  commissioning_->OnEvent([this](const CommissionEvent& event) {
    commissioningDialog_->Apply(event);
    if (event.kind == CommissionEvent::Kind::Status) ShowCommandProgress(event.text);
  });
  commissioning_->OnFinished(
      [this](const CommissionSummary& summary, const std::vector<CommissionTarget>& targets) {
        commissioningDialog_->End(summary);
        UpdateButtons();
        if (targets.size() > 1) {
          ShowCommandProgress(SummaryText(summary));
          return;
        }
        // One device: as the command always was, its own texts on the status
        // line and the box for a failure, which now carries the reason.
        const DeviceResult& result = summary.devices.front();
        if (result.outcome == DeviceOutcome::Cancelled) {
          ShowCommandProgress(result.text);
        } else if (result.outcome == DeviceOutcome::Failed) {
          prompts_->MessageWithDetail(LoadString(kIdsCommandFailed), LoadString(kIdsCommunicationErrorCaption),
                                      result.text);
        }
      });
}

bool MainWindow::CommissioningRunning() const { return commissioning_ && commissioning_->Running(); }

void MainWindow::CancelCommissioning() {
  if (commissioning_) commissioning_->Cancel();
}

void MainWindow::ShowCommandProgress(std::string_view text) {
  // Painted on the next turn of the event loop, which is never held up by
  // the run; the request batching's paint hold leaves the status line alone
  // while a run goes on (SetRequestViewsUpdatesEnabled).
  statusLine_->setText(ToQString(text));
}

bool MainWindow::StartCommissioning(CommissionCommand command) {
  if (CommissioningRunning()) return false;
  std::vector<CommissionTarget> targets = Targets(SelectedRelations());
  if (targets.empty()) {
    prompts_->Message(LoadString(kIdsSelectAddressFirst), LoadString(kIdsSelectAddressCaption));
    return false;
  }
  commissioningDialog_->Begin(command, targets);
  commissioning_->Start(command, std::move(targets), enip_);
  // A paint hold that began before the run must not keep its progress back.
  statusLine_->setUpdatesEnabled(true);
  UpdateButtons();
  return true;
}

void MainWindow::OnEnableBootpDhcp() { StartCommissioning(CommissionCommand::Enable); }

void MainWindow::OnDisableBootpDhcp() { StartCommissioning(CommissionCommand::Disable); }

void MainWindow::OnButtonEnable() {
  StartCommissioning(CommissionCommand::Enable);
  relationList_->setFocus();
}

void MainWindow::OnButtonDisable() {
  StartCommissioning(CommissionCommand::Disable);
  relationList_->setFocus();
}

}  // namespace corvessa
