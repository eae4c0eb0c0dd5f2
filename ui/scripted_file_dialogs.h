#pragma once
// File dialogs for tests: answers come from a queue (nothing = Cancel) and
// every request is recorded.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ui/file_dialogs.h"

namespace corvessa {

enum class FileDialogKind { Open, Save };

struct RecordedFileDialog {
  FileDialogKind kind = FileDialogKind::Open;
  FileDialogRequest request;

  bool operator==(const RecordedFileDialog&) const = default;
};

class ScriptedFileDialogs : public FileDialogs {
 public:
  std::optional<std::string> Open(const FileDialogRequest& request) override;
  std::optional<std::string> Save(const FileDialogRequest& request) override;

  // The path the next dialog returns; std::nullopt answers Cancel. An empty
  // queue answers Cancel.
  void QueueAnswer(std::optional<std::string> path) { answers_.push_back(std::move(path)); }

  const std::vector<RecordedFileDialog>& Requests() const { return requests_; }
  std::size_t PendingAnswers() const { return answers_.size(); }

 private:
  std::optional<std::string> Answer(FileDialogKind kind, const FileDialogRequest& request);

  std::deque<std::optional<std::string>> answers_;
  std::vector<RecordedFileDialog> requests_;
};

}  // namespace corvessa
