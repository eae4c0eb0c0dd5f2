#include "ui/scripted_prompts.h"

namespace corvessa {

PromptAnswer ScriptedPrompts::Record(std::string_view text, std::string_view caption,
                                     PromptKind kind, std::string_view detail) {
  const ShownPrompt shown{std::string(text), std::string(caption), kind, std::string(detail)};
  shown_.push_back(shown);
  // A copy: the callback may itself show another box.
  if (onShown_) onShown_(shown);
  if (kind == PromptKind::Message) return PromptAnswer::Ok;
  if (answers_.empty()) return defaultAnswer_;
  const PromptAnswer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

void ScriptedPrompts::Message(std::string_view text, std::string_view caption) {
  // A message box has nothing to answer but OK, so it leaves the queue to the
  // questions.
  Record(text, caption, PromptKind::Message);
}

void ScriptedPrompts::MessageWithDetail(std::string_view text, std::string_view caption,
                                        std::string_view detail) {
  Record(text, caption, PromptKind::Message, detail);
}

PromptAnswer ScriptedPrompts::AskYesNoCancel(std::string_view text, std::string_view caption) {
  return Record(text, caption, PromptKind::YesNoCancel);
}

bool ScriptedPrompts::AskChoice(std::string_view text, std::string_view caption, std::string_view,
                                std::string_view) {
  return Record(text, caption, PromptKind::Choice) != PromptAnswer::No;
}

std::vector<std::string> ScriptedPrompts::ShownTexts() const {
  std::vector<std::string> texts;
  texts.reserve(shown_.size());
  for (const ShownPrompt& p : shown_) texts.push_back(p.text);
  return texts;
}

}  // namespace corvessa
