#pragma once
// Message boxes for tests: every box is recorded and answered from a queue,
// without showing anything.

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/prompts.h"

namespace corvessa {

struct ShownPrompt {
  ShownPrompt() = default;
  ShownPrompt(std::string text, std::string caption, PromptKind kind = PromptKind::Message,
              std::string detail = {})
      : text(std::move(text)), caption(std::move(caption)), kind(kind), detail(std::move(detail)) {}

  std::string text;
  std::string caption;  // as passed; empty means the application name
  PromptKind kind = PromptKind::Message;
  std::string detail;  // the box's informative text, if any

  bool operator==(const ShownPrompt&) const = default;
};

class ScriptedPrompts : public Prompts {
 public:
  // Questions take their answers from the queue, then this one; messages
  // always answer Ok and leave the queue alone.
  explicit ScriptedPrompts(PromptAnswer defaultAnswer = PromptAnswer::Cancel)
      : defaultAnswer_(defaultAnswer) {}

  void Message(std::string_view text, std::string_view caption) override;
  void MessageWithDetail(std::string_view text, std::string_view caption,
                         std::string_view detail) override;
  PromptAnswer AskYesNoCancel(std::string_view text, std::string_view caption) override;
  // Recorded as a Choice; the queue's Yes (or Cancel) picks the first
  // button, No the second.
  bool AskChoice(std::string_view text, std::string_view caption, std::string_view first,
                 std::string_view second) override;

  void QueueAnswer(PromptAnswer answer) { answers_.push_back(answer); }
  void SetDefaultAnswer(PromptAnswer answer) { defaultAnswer_ = answer; }
  // Runs after a box has been recorded, before it is answered: lets a test see
  // the state the program is in while the box would be on screen.
  void OnShown(std::function<void(const ShownPrompt&)> callback) { onShown_ = std::move(callback); }

  const std::vector<ShownPrompt>& Shown() const { return shown_; }
  std::vector<std::string> ShownTexts() const;
  void ClearShown() { shown_.clear(); }
  std::size_t PendingAnswers() const { return answers_.size(); }

 private:
  PromptAnswer Record(std::string_view text, std::string_view caption, PromptKind kind,
                      std::string_view detail = {});

  PromptAnswer defaultAnswer_;
  std::deque<PromptAnswer> answers_;
  std::vector<ShownPrompt> shown_;
  std::function<void(const ShownPrompt&)> onShown_;
};

}  // namespace corvessa
