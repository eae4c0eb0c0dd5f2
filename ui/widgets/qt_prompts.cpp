#include "ui/widgets/qt_prompts.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include "core/settings_names.h"
#include "ui/widgets/qt_text.h"

namespace corvessa {

namespace {

std::unique_ptr<QMessageBox> MakeBox(std::string_view text, std::string_view caption, QWidget* parent,
                                     std::string_view detail = {}) {
  auto box = std::make_unique<QMessageBox>(parent);
  box->setIcon(QMessageBox::NoIcon);
  box->setWindowTitle(ToQString(caption.empty() ? settings_names::kApplicationName : caption));
  // Plain text: file names and device texts may contain '<' and must show as typed.
  box->setTextFormat(Qt::PlainText);
  box->setText(ToQString(text));
  if (!detail.empty()) {
    box->setInformativeText(ToQString(detail));
    // The box has no format setting of its own for this text; a device
    // text must not be read as markup either.
    if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
      label->setTextFormat(Qt::PlainText);
    }
  }
  return box;
}

}  // namespace

std::unique_ptr<QMessageBox> MakePromptBox(std::string_view text, std::string_view caption,
                                           PromptKind kind, QWidget* parent,
                                           std::string_view detail) {
  auto box = MakeBox(text, caption, parent, detail);
  if (kind == PromptKind::Message) {
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
  } else {
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box->setDefaultButton(QMessageBox::Yes);
    box->setEscapeButton(QMessageBox::Cancel);
  }
  return box;
}

std::unique_ptr<QMessageBox> MakeChoiceBox(std::string_view text, std::string_view caption, std::string_view first,
                                           std::string_view second, QWidget* parent) {
  auto box = MakeBox(text, caption, parent);
  QPushButton* safe = box->addButton(ToQString(first), QMessageBox::AcceptRole);
  box->addButton(ToQString(second), QMessageBox::DestructiveRole);
  box->setDefaultButton(safe);
  box->setEscapeButton(safe);
  return box;
}

void QtPrompts::Message(std::string_view text, std::string_view caption) {
  auto box = MakePromptBox(text, caption, PromptKind::Message, parent_);
  box->exec();
}

void QtPrompts::MessageWithDetail(std::string_view text, std::string_view caption,
                                  std::string_view detail) {
  auto box = MakePromptBox(text, caption, PromptKind::Message, parent_, detail);
  box->exec();
}

PromptAnswer QtPrompts::AskYesNoCancel(std::string_view text, std::string_view caption) {
  auto box = MakePromptBox(text, caption, PromptKind::YesNoCancel, parent_);
  switch (box->exec()) {
    case QMessageBox::Yes:
      return PromptAnswer::Yes;
    case QMessageBox::No:
      return PromptAnswer::No;
    default:
      // Escape and the close box count as Cancel.
      return PromptAnswer::Cancel;
  }
}

bool QtPrompts::AskChoice(std::string_view text, std::string_view caption, std::string_view first,
                          std::string_view second) {
  auto box = MakeChoiceBox(text, caption, first, second, parent_);
  box->exec();
  // A box that never got an answer (the program is being ended) counts as
  // the first, safe choice.
  return box->clickedButton() == nullptr || box->clickedButton() == box->defaultButton();
}

}  // namespace corvessa
