#include "ui/widgets/qt_file_dialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QStringList>

#include "ui/widgets/file_filter.h"
#include "ui/widgets/qt_text.h"

namespace corvessa {

std::optional<std::string> QtFileDialogs::Open(const FileDialogRequest& request) {
  return Run(request, Mode::Open);
}

std::optional<std::string> QtFileDialogs::Save(const FileDialogRequest& request) {
  return Run(request, Mode::Save);
}

std::optional<std::string> QtFileDialogs::Run(const FileDialogRequest& request, Mode mode) {
  QFileDialog dialog(parent_);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (mode == Mode::Open) {
    dialog.setWindowTitle(QStringLiteral("Open"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    dialog.setWindowTitle(QStringLiteral("Save As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  }
  QStringList names;
  for (const std::string& name : ToQtNameFilters(request.filter)) names.push_back(ToQString(name));
  dialog.setNameFilters(names);
  if (!names.isEmpty()) dialog.selectNameFilter(names.front());
  // Qt adds the extension to a name typed without one, before its own
  // overwrite question; a file picked from the list stays as it is. An
  // existing file is opened by the name it has, so the open dialog adds none.
  if (mode == Mode::Save) dialog.setDefaultSuffix(ToQString(request.defaultExtension));

  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;

  // The path as chosen, as the file system spells it.
  const std::string path = QFile::encodeName(chosen.front()).toStdString();
  // A name longer than the file commands can hold is refused like a
  // cancelled dialog, never cut short into another file's name.
  if (path.size() > kMaxFileNameLength) return std::nullopt;
  return path;
}

}  // namespace corvessa
