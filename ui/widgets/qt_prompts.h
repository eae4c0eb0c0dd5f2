#pragma once
// Message boxes of the program: OK only and no icon, Yes/No/Cancel for the
// save question, or two buttons of their own for a choice. A box without a
// caption of its own carries the application name.

#include <memory>
#include <string_view>

#include "ui/prompts.h"

class QMessageBox;
class QWidget;

namespace corvessa {

// Builds the box without showing it, so its buttons and texts can be checked.
std::unique_ptr<QMessageBox> MakePromptBox(std::string_view text, std::string_view caption,
                                           PromptKind kind, QWidget* parent = nullptr,
                                           std::string_view detail = {});

// A choice between two buttons of its own; the first is the default and the
// Escape button.
std::unique_ptr<QMessageBox> MakeChoiceBox(std::string_view text, std::string_view caption, std::string_view first,
                                           std::string_view second, QWidget* parent = nullptr);

class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void Message(std::string_view text, std::string_view caption) override;
  void MessageWithDetail(std::string_view text, std::string_view caption,
                         std::string_view detail) override;
  PromptAnswer AskYesNoCancel(std::string_view text, std::string_view caption) override;
  bool AskChoice(std::string_view text, std::string_view caption, std::string_view first,
                 std::string_view second) override;

 private:
  QWidget* parent_;
};

}  // namespace corvessa
