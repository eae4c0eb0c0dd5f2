#include "enip/widgets/commissioning_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/address.h"
#include "enip/enip_texts.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/table.h"

namespace corvessa {
namespace {

enum Column { kColumnDevice, kColumnIp, kColumnStep, kColumnStatus };

constexpr int kListWidth = 640;
constexpr int kListHeight = 220;

std::string TargetAddress(const CommissionTarget& target) { return target ? IpToText(target->ipAddress) : std::string(); }

}  // namespace

CommissioningDialog::CommissioningDialog(QWidget* parent) : QDialog(parent) {
  setModal(false);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

  auto* layout = new QVBoxLayout(this);
  heading_ = new QLabel(this);
  heading_->setTextFormat(Qt::PlainText);
  layout->addWidget(heading_);

  progress_ = new QProgressBar(this);
  progress_->setAccessibleName(ToQString(text::kRunProgressBar));
  progress_->setFormat(QStringLiteral("%v / %m"));
  layout->addWidget(progress_);

  auto* caption = new QLabel(ToQString(text::kRunDevices), this);
  layout->addWidget(caption);
  devices_ = new Table(this);
  devices_->SetAccessibleCaption(ToQString(text::kRunDevices));
  caption->setBuddy(devices_);
  devices_->SetupColumns({std::string(text::kRunColumnDevice), std::string(text::kRunColumnIp),
                          std::string(text::kRunColumnStep), std::string(text::kRunColumnStatus)});
  devices_->SetMultiSelection(false);
  devices_->SetHeaderClickable(false);
  devices_->setMinimumSize(kListWidth, kListHeight);
  layout->addWidget(devices_);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  button_ = new QPushButton(this);
  buttons->addWidget(button_);
  layout->addLayout(buttons);
  SetButton(text::kRunCancel);
  connect(button_, &QPushButton::clicked, this, [this] {
    if (running_) {
      emit CancelRequested();
    } else {
      hide();
    }
  });

  showLater_.setSingleShot(true);
  showLater_.setInterval(kSingleDeviceDelayMs);
  connect(&showLater_, &QTimer::timeout, this, [this] {
    if (running_) show();
  });
}

void CommissioningDialog::SetButton(std::string_view text) {
  button_->setText(ToQString(text));
  button_->setAccessibleName(ToQString(text));
}

void CommissioningDialog::Begin(CommissionCommand command, const std::vector<CommissionTarget>& targets) {
  command_ = command;
  total_ = static_cast<int>(targets.size());
  done_ = 0;
  running_ = true;
  setWindowTitle(ToQString(CommandName(command)));
  std::vector<RowTableModel::RowContent> rows;
  rows.reserve(targets.size());
  for (const CommissionTarget& target : targets) {
    rows.push_back({{TargetText(target), TargetAddress(target), std::string(text::kStepWaiting), {}}, nullptr});
  }
  devices_->Rows()->ReplaceAll(std::move(rows));
  progress_->setRange(0, total_);
  progress_->setValue(0);
  SetButton(text::kRunCancel);
  button_->setEnabled(true);
  UpdateHeading();
  if (total_ > 1) {
    show();
    raise();
  } else {
    showLater_.start();
  }
}

void CommissioningDialog::Apply(const CommissionEvent& event) {
  RowTableModel& rows = *devices_->Rows();
  switch (event.kind) {
    case CommissionEvent::Kind::Step:
      rows.SetCellText(event.device, kColumnStep, StepText(event.step));
      break;
    case CommissionEvent::Kind::Status:
      rows.SetCellText(event.device, kColumnStatus, event.text);
      break;
    case CommissionEvent::Kind::Finished:
      rows.SetCellText(event.device, kColumnStep, OutcomeText(event.outcome));
      rows.SetCellText(event.device, kColumnStatus, event.text);
      progress_->setValue(++done_);
      UpdateHeading();
      break;
  }
}

void CommissioningDialog::End(const CommissionSummary& summary) {
  running_ = false;
  showLater_.stop();
  // The rows already hold every outcome; the summary is the authority.
  for (std::size_t i = 0; i < summary.devices.size(); ++i) {
    const int row = static_cast<int>(i);
    devices_->Rows()->SetCellText(row, kColumnStep, OutcomeText(summary.devices[i].outcome));
    devices_->Rows()->SetCellText(row, kColumnStatus, summary.devices[i].text);
  }
  progress_->setValue(total_);
  heading_->setText(ToQString(SummaryText(summary)));
  SetButton(text::kRunClose);
  if (total_ > 1) {
    show();
    raise();
  } else {
    hide();
  }
}

void CommissioningDialog::UpdateHeading() { heading_->setText(ToQString(ProgressText(command_, done_, total_))); }

void CommissioningDialog::reject() {
  // Escape and the close box cancel a run, as a progress window's do; after
  // the run they close the summary.
  if (running_) {
    emit CancelRequested();
    return;
  }
  QDialog::reject();
}

}  // namespace corvessa
