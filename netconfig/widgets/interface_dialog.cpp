#include "netconfig/widgets/interface_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/settings_names.h"
#include "core/strings.h"
#include "netconfig/widgets/control_ids.h"
#include "netconfig/widgets/dialog_controls.h"
#include "ui/prompts.h"
#include "ui/settings_store.h"
#include "ui/widgets/qt_text.h"

namespace corvessa {

namespace {

constexpr int kDescriptionColumn = 0;
constexpr int kAddressColumn = 1;
constexpr int kListWidth = 380;
constexpr int kListHeight = 140;

}  // namespace

InterfaceDialog::InterfaceDialog(SettingsStore& store, Prompts& prompts, const HostNetwork& host, QWidget* parent)
    : QDialog(parent), store_(store), prompts_(prompts), host_(host) {
  setWindowTitle(ToQString(text::kSelectInterfaceCaption));

  prompt_ = new QLabel(ToQString(text::kSelectInterfacePrompt), this);
  SetControlId(prompt_, netconfig_ids::kStatic);

  list_ = new QTreeWidget(this);
  SetControlId(list_, netconfig_ids::kAdapterList);
  list_->setRootIsDecorated(false);
  list_->setItemsExpandable(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setFrameShape(QFrame::StyledPanel);
  // A fixed size, as in a dialog template: the column widths are shares of it.
  list_->setFixedSize(kListWidth, kListHeight);
  list_->header()->setStretchLastSection(false);
  AttachLabel(prompt_, list_);

  okButton_ = new QPushButton(ToQString(text::kOk), this);
  SetControlId(okButton_, netconfig_ids::kOk);
  okButton_->setDefault(true);
  connect(okButton_, &QPushButton::clicked, this, &InterfaceDialog::OnOK);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt_);
  layout->addWidget(list_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void InterfaceDialog::showEvent(QShowEvent* event) {
  if (!initialized_ && !event->spontaneous()) {
    initialized_ = true;
    OnInitDialog();
  }
  QDialog::showEvent(event);
}

bool InterfaceDialog::OnInitDialog() {
  // The client width, before any row could bring a scroll bar.
  const int width = list_->contentsRect().width();
  list_->setHeaderLabels({ToQString(LoadString(kIdsColumnDescription)), ToQString(LoadString(kIdsColumnIpAddress))});
  list_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  list_->setColumnWidth(kDescriptionColumn, width * 3 / 4);
  list_->setColumnWidth(kAddressColumn, width / 4);

  adapters_ = EnumerateAdapters(host_);
  for (const Adapter& adapter : adapters_) {
    auto* row = new QTreeWidgetItem(list_);
    row->setText(kDescriptionColumn, ToQString(adapter.description));
    row->setText(kAddressColumn, ToQString(AdapterAddressText(adapter)));
  }
  return true;
}

void InterfaceDialog::OnOK() {
  int chosen = -1;
  for (int row = 0; row < list_->topLevelItemCount(); ++row) {
    if (list_->topLevelItem(row)->isSelected()) {
      chosen = row;
      break;
    }
  }
  if (chosen < 0) {
    prompts_.Message(text::kSelectAdapter, settings_names::kApplicationName);
    return;
  }

  const Adapter& adapter = adapters_[static_cast<std::size_t>(chosen)];
  chosenDescription_ = adapter.description;
  chosenAddress_ = AdapterAddressText(adapter);
  // A failed write leaves the previous choice; there is nothing to tell.
  (void)store_.SetString(settings_names::kVersionSection, settings_names::kLastAdapter, chosenDescription_);
  (void)store_.SetString(chosenDescription_, settings_names::kIpAddress, chosenAddress_);
  QDialog::accept();
}

}  // namespace corvessa
