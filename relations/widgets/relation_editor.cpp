#include "relations/widgets/relation_editor.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "core/strings.h"
#include "relations/widgets/relation_editor_ids.h"
#include "ui/prompts.h"
#include "ui/widgets/byte_limit_validator.h"
#include "ui/widgets/ip_address_edit.h"
#include "ui/widgets/qt_text.h"

namespace corvessa {

namespace {

namespace id = relation_editor_ids;

void SetControlId(QWidget* control, int controlId) { control->setProperty("controlId", controlId); }

// A label's words without the colon, which a screen reader would only read out.
QString CaptionOf(std::string_view labelText) {
  QString caption = ToQString(labelText);
  if (caption.endsWith(QLatin1Char(':'))) caption.chop(1);
  return caption;
}

}  // namespace

RelationEditor::RelationEditor(Prompts& prompts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      prompts_(prompts) {
  BuildControls();
}

void RelationEditor::BuildControls() {
  setModal(true);
  // The template's own caption, until the caller's title replaces it.
  setWindowTitle(ToQString(text::kNewEntryCaption));

  auto* layout = new QVBoxLayout(this);
  const auto addRow = [&](std::string_view labelText, QWidget* control, int controlId, int tipId) {
    auto* label = new QLabel(ToQString(labelText), this);
    SetControlId(label, id::kStatic);
    label->setBuddy(control);
    SetControlId(control, controlId);
    if (control->accessibleName().isEmpty()) control->setAccessibleName(CaptionOf(labelText));
    if (tipId != 0) control->setToolTip(ToQString(LoadString(tipId)));
    layout->addWidget(label);
    layout->addWidget(control);
  };

  serverAddress_ = new QLineEdit(this);
  serverAddress_->setReadOnly(true);
  addRow(text::kEntryServerIpLabel, serverAddress_, id::kServerAddress, 0);

  hardwareAddress_ = new QLineEdit(this);
  addRow(text::kEntryMacLabel, hardwareAddress_, id::kHardwareAddress, kIdsPromptMac);

  ipAddress_ = new IpAddressEdit(this);
  ipAddress_->SetAccessibleCaption(CaptionOf(text::kEntryIpLabel));
  addRow(text::kEntryIpLabel, ipAddress_, id::kIpAddress, kIdsPromptIp);

  // The limits count the bytes the texts are stored as; no character takes
  // less than one byte, so the character limits never cut a stored text.
  hostname_ = new QLineEdit(this);
  hostname_->setMaxLength(static_cast<int>(kRelationHostnameSize));
  hostnameLimit_ = new ByteLimitValidator(kRelationHostnameSize, TextEncoding::Utf8, hostname_);
  hostname_->setValidator(hostnameLimit_);
  addRow(text::kEntryHostnameLabel, hostname_, id::kHostname, kIdsPromptHostname);

  description_ = new QLineEdit(this);
  description_->setMaxLength(static_cast<int>(kRelationDescriptionSize));
  descriptionLimit_ = new ByteLimitValidator(kRelationDescriptionSize, TextEncoding::Utf8, description_);
  description_->setValidator(descriptionLimit_);
  addRow(text::kEntryDescriptionLabel, description_, id::kDescription, kIdsPromptDescription);

  okButton_ = new QPushButton(ToQString(text::kOk), this);
  SetControlId(okButton_, id::kOk);
  okButton_->setDefault(true);
  cancelButton_ = new QPushButton(ToQString(text::kCancel), this);
  SetControlId(cancelButton_, id::kCancel);
  cancelButton_->setAutoDefault(false);
  connect(okButton_, &QPushButton::clicked, this, &RelationEditor::OnOK);
  connect(cancelButton_, &QPushButton::clicked, this, &RelationEditor::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okButton_);
  buttons->addWidget(cancelButton_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void RelationEditor::RelationEditorInit(const RelationEditorRequest& request) {
  title_ = request.title;
  context_ = request.context;
  entry_ = request.entry;
  serverAddressText_ = request.serverAddressText;
}

void RelationEditor::showEvent(QShowEvent* event) {
  if (!initialized_ && !event->spontaneous()) {
    initialized_ = true;
    OnInitDialog();
  }
  QDialog::showEvent(event);
}

bool RelationEditor::OnInitDialog() {
  setWindowTitle(ToQString(title_));
  hardwareAddress_->setText(ToQString(EntryHardwareAddressText(entry_)));
  ipAddress_->SetAddress(entry_.ipAddress);
  Show(hostname_, hostnameLimit_, EntryHostnameText(entry_), hostnameShown_);
  Show(description_, descriptionLimit_, EntryDescriptionText(entry_), descriptionShown_);
  serverAddress_->setText(ToQString(serverAddressText_));
  return false;
}

void RelationEditor::Show(QLineEdit* edit, ByteLimitValidator* limit, std::string_view bytes, ShownText& shown) {
  shown.encoding = EncodingOf(bytes);
  shown.text = ToQString(bytes);
  limit->SetEncoding(shown.encoding);
  edit->setText(shown.text);
}

QWidget* RelationEditor::ControlOf(EntryField field) const {
  switch (field) {
    case EntryField::HardwareAddress:
      return hardwareAddress_;
    case EntryField::IpAddress:
      return ipAddress_;
    case EntryField::Hostname:
      return hostname_;
  }
  return nullptr;
}

void RelationEditor::OnOK() {
  // The fields are read whatever the checks find, so the working copy always
  // holds what was typed.
  const bool macConverted = ReadEntryHardwareAddress(entry_, ToStdString(hardwareAddress_->text()));
  // Pressing OK re-encodes nothing: a 32-byte Latin-1 hostname from a file
  // keeps its 32 bytes, and with them option 12 on the wire and the file.
  if (hostname_->text() != hostnameShown_.text) {
    ReadEntryHostname(entry_, EncodeText(hostname_->text(), hostnameShown_.encoding, kRelationHostnameSize));
  }
  if (description_->text() != descriptionShown_.text) {
    ReadEntryDescription(entry_,
                         EncodeText(description_->text(), descriptionShown_.encoding, kRelationDescriptionSize));
  }
  entry_.ipAddress = ipAddress_->Address();

  const std::optional<RelationEntryProblem> problem =
      CheckRelationEntry(entry_, macConverted, context_, ToStdString(serverAddress_->text()));
  if (problem) {
    prompts_.Message(LoadString(problem->messageId), LoadString(problem->captionId));
    if (QWidget* control = ControlOf(problem->field)) control->setFocus(Qt::OtherFocusReason);
    return;
  }
  QDialog::accept();
}

std::unique_ptr<Relation> RelationEditor::TakeRelation() const { return MakeRelation(entry_); }

}  // namespace corvessa
