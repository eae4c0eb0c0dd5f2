// File commands: New, Open, Save, Save As, and the exit flow that offers to
// save first.

#include <string>

#include "app/provan_dlg.h"
#include "ui/prompts.h"
#include "ui/widgets/file_dialogs.h"
#include "ui/widgets/table.h"

namespace corvessa {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  const std::string_view tail = text.substr(text.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    const auto a = static_cast<unsigned char>(tail[i]);
    const auto b = static_cast<unsigned char>(suffix[i]);
    if ((a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) != b) return false;
  }
  return true;
}

PromptAnswer AskToSave(Prompts& prompts) {
  return prompts.AskYesNoCancel(LoadString(kIdsSaveChangesPrompt), LoadString(kIdsSaveChangesCaption));
}

}  // namespace

void CProvanDlg::PromptSaveAndQuit() {
  if (!modified_) {
    QDialog::done(QDialog::Rejected);
    return;
  }
  switch (AskToSave(*prompts_)) {
    case PromptAnswer::Yes:
      if (SaveConfiguration(currentFileName_.empty())) {
        QDialog::done(QDialog::Rejected);
      } else {
        StatusLine(LoadString(kIdsExitSaveFailed));
      }
      return;
    case PromptAnswer::No:
      QDialog::done(QDialog::Rejected);
      return;
    default:
      return;
  }
}

void CProvanDlg::OnFileNew() {
  if (table_.Count() == 0) return;
  bool clear = true;
  if (modified_) {
    const PromptAnswer answer = AskToSave(*prompts_);
    if (answer == PromptAnswer::Cancel) return;
    if (answer == PromptAnswer::Yes) clear = SaveConfiguration(currentFileName_.empty());
  }
  if (clear) {
    // The rows refer to the relations: they go first.
    relationList_->Rows()->DeleteAll();
    table_.Clear();
    modified_ = false;
    UpdateRelationCounter();
  }
  OnClearHistory();
  currentFileName_.clear();
  UpdateTitle();
}

void CProvanDlg::OnFileOpen() {
  if (modified_) {
    const PromptAnswer answer = AskToSave(*prompts_);
    if (answer == PromptAnswer::Cancel) return;
    if (answer == PromptAnswer::Yes && !SaveConfiguration(currentFileName_.empty())) {
      StatusLine(LoadString(kIdsOpenSaveFailed));
      return;
    }
  }
  if (!LoadConfiguration(true)) StatusLine(LoadString(kIdsLoadAborted));
}

void CProvanDlg::OnFileSave() {
  SaveConfiguration(currentFileName_.empty());
  UpdateTitle();
}

void CProvanDlg::OnFileSaveAs() {
  SaveConfiguration(true);
  UpdateTitle();
}

bool CProvanDlg::LoadConfiguration(bool showDialog) {
  StatusLine(LoadString(kIdsLoading));
  if (showDialog) {
    const FileDialogRequest request{std::string(text::kLoadFilter), std::string(text::kDefaultExtension)};
    if (!fileDialogs_->Open(request)) return false;
  } else if (!EndsWithNoCase(currentFileName_, "csv") && !EndsWithNoCase(currentFileName_, "bpc")) {
    StatusLine(LoadString(kIdsLoadFailed));
    return false;
  }
  // Reading .bpc and .csv files is not part of this build yet.
  StatusLine(LoadString(kIdsLoadFailed));
  UpdateRelationCounter();
  return false;
}

bool CProvanDlg::SaveConfiguration(bool /*askName*/) {
  StatusLine(LoadString(kIdsSaving));
  // Writing .bpc and .csv files is not part of this build yet.
  StatusLine(LoadString(kIdsSaveFailed));
  return false;
}

}  // namespace corvessa
