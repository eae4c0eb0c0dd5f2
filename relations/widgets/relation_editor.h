#pragma once
// The relation editor (the product's CAddEntryDlg, dialog template 130, with
// its operations RelationEditorInit, OnInitDialog, OnOK and TakeRelation):
// enters a new relation or changes an existing one. It checks the entry against the address rules, the other
// relations and the network settings, and never changes the table itself;
// after OK the caller takes the result with TakeRelation.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <QDialog>

#include "relations/relation_table.h"
#include "relations/relation_entry.h"
#include "ui/widgets/qt_text.h"

class QLineEdit;
class QPushButton;
class QShowEvent;

namespace corvessa {

class ByteLimitValidator;
class IpAddressEdit;
class Prompts;

class RelationEditor : public QDialog {
  Q_OBJECT

 public:
  // `prompts` shows the messages of OnOK; it must outlive the dialog.
  explicit RelationEditor(Prompts& prompts, QWidget* parent = nullptr);

  // Called before the dialog runs. The request's table and edited relation
  // must outlive the dialog.
  void RelationEditorInit(const RelationEditorRequest& request);

  // After OK: a new relation with the entered values, type 0, owned by the caller.
  std::unique_ptr<Relation> TakeRelation() const;

  // OK (command 1): reads the fields, runs the checks, and closes with OK only
  // when all pass. The first failing check shows its box and takes the focus.
  void OnOK();

  const RelationEntry& Entry() const { return entry_; }
  const std::string& Title() const { return title_; }

  QLineEdit* ServerAddressEdit() const { return serverAddress_; }
  QLineEdit* HardwareAddressEdit() const { return hardwareAddress_; }
  IpAddressEdit* IpEdit() const { return ipAddress_; }
  QLineEdit* HostnameEdit() const { return hostname_; }
  QLineEdit* DescriptionEdit() const { return description_; }
  QPushButton* OkButton() const { return okButton_; }
  QPushButton* CancelButton() const { return cancelButton_; }

 protected:
  void showEvent(QShowEvent* event) override;
  // Fills the controls from the working copy; runs once, when the dialog is
  // first shown. Leaves the focus where it is.
  bool OnInitDialog();

 private:
  void BuildControls();
  QWidget* ControlOf(EntryField field) const;

  // A text field as the dialog showed it: unchanged, it keeps the bytes it
  // came with; changed, it is stored in the encoding it was shown in.
  struct ShownText {
    QString text;
    TextEncoding encoding = TextEncoding::Utf8;
  };
  static void Show(QLineEdit* edit, ByteLimitValidator* limit, std::string_view bytes, ShownText& shown);

  Prompts& prompts_;
  bool initialized_ = false;
  ShownText hostnameShown_;
  ShownText descriptionShown_;
  ByteLimitValidator* hostnameLimit_ = nullptr;
  ByteLimitValidator* descriptionLimit_ = nullptr;

  std::string title_;
  RelationEntry entry_;
  RelationEntryContext context_;
  std::string serverAddressText_;

  QLineEdit* serverAddress_ = nullptr;
  QLineEdit* hardwareAddress_ = nullptr;
  IpAddressEdit* ipAddress_ = nullptr;
  QLineEdit* hostname_ = nullptr;
  QLineEdit* description_ = nullptr;
  QPushButton* okButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
};

}  // namespace corvessa
