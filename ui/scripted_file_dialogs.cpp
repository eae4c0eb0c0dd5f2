#include "ui/scripted_file_dialogs.h"

namespace corvessa {

std::optional<std::string> ScriptedFileDialogs::Answer(FileDialogKind kind,
                                                       const FileDialogRequest& request) {
  requests_.push_back(RecordedFileDialog{kind, request});
  if (answers_.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(answers_.front());
  answers_.pop_front();
  return answer;
}

std::optional<std::string> ScriptedFileDialogs::Open(const FileDialogRequest& request) {
  return Answer(FileDialogKind::Open, request);
}

std::optional<std::string> ScriptedFileDialogs::Save(const FileDialogRequest& request) {
  return Answer(FileDialogKind::Save, request);
}

}  // namespace corvessa
