#pragma once
// The file dialogs of the program, on Qt's own file dialog (not the desktop's
// native one) so that the default extension is appended to a typed name
// before the overwrite question, and the dialog is the same on every desktop.
// The chosen path is handed back as chosen.

#include <optional>
#include <string>

#include "ui/file_dialogs.h"

class QWidget;

namespace corvessa {

class QtFileDialogs : public FileDialogs {
 public:
  explicit QtFileDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  std::optional<std::string> Open(const FileDialogRequest& request) override;
  std::optional<std::string> Save(const FileDialogRequest& request) override;

 private:
  enum class Mode { Open, Save };
  std::optional<std::string> Run(const FileDialogRequest& request, Mode mode);

  QWidget* parent_;
};

}  // namespace corvessa
