// The start-up offer of relations kept when the program was last ended from
// outside: Restore loads them as they were (unsaved, under the name of the
// file they belong to), Discard removes them.

#include "app/provan_dlg.h"
#include "files/bpc_reader.h"
#include "files/recovery_copy.h"
#include "ui/prompts.h"
#include "ui/widgets/table.h"

namespace corvessa {

bool CProvanDlg::OfferRecoveryCopy() {
  RecoveryStore store(RecoveryFolder());
  const std::optional<RecoveryCopy> copy = store.Find();
  if (!copy) return false;
  const std::string question = copy->fileName.empty()
                                   ? std::string(text::kRecoveryOfferUnnamed)
                                   : FormatText(text::kRecoveryOfferNamed, copy->fileName.c_str());
  if (!prompts_->AskChoice(question, text::kRecoveryCaption, text::kRecoveryRestore, text::kRecoveryDiscard)) {
    store.Remove();
    return false;
  }

  relationList_->Rows()->DeleteAll();
  table_.Clear();
  bool settingsUsable = true;
  const BpcLoad load = ReadRecoveryCopy(copy->bytes, table_, *prompts_, settingsUsable);
  if (!load.Succeeded()) {
    table_.Clear();
    prompts_->Message(FormatText(text::kRecoveryUnreadable, copy->copyPath.c_str()), text::kRecoveryCaption);
    // Kept for a rescue by hand, but not offered again.
    store.Remove();
    return false;
  }
  if (settingsUsable) ApplyBpcSettings(load, settings_);
  for (const auto& relation : table_) AddRelationRow(relation.get(), 0);
  // A name that cannot be kept is not cut down to another file's name: the
  // restored list then has none, and Save asks for one.
  if (!SetCurrentFileName(copy->fileName)) currentFileName_.clear();
  UpdateTitle();
  // Not saved yet: the copy stays until a save or a clean exit.
  modified_ = true;
  StatusLine(currentFileName_.empty() ? std::string(text::kRecoveryRestoredUnnamed)
                                      : FormatText(text::kRecoveryRestoredNamed, currentFileName_.c_str()));
  UpdateRelationCounter();
  UpdateButtons();
  return true;
}

}  // namespace corvessa
