#pragma once
// Message boxes of the program: OK only and no icon, or Yes/No/Cancel for the
// save question. A box without a caption of its own carries the application name.

#include <memory>
#include <string_view>

#include "ui/prompts.h"

class QMessageBox;
class QWidget;

namespace corvessa {

enum class PromptKind { Message, YesNoCancel };

// Builds the box without showing it, so its buttons and texts can be checked.
std::unique_ptr<QMessageBox> MakePromptBox(std::string_view text, std::string_view caption,
                                           PromptKind kind, QWidget* parent = nullptr,
                                           std::string_view detail = {});

class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void Message(std::string_view text, std::string_view caption) override;
  void MessageWithDetail(std::string_view text, std::string_view caption,
                         std::string_view detail) override;
  PromptAnswer AskYesNoCancel(std::string_view text, std::string_view caption) override;

 private:
  QWidget* parent_;
};

}  // namespace corvessa
