// Ending from outside: SIGTERM, SIGHUP and SIGINT, and the desktop session
// ending (logout). Unsaved relations are never lost on these paths: the
// session manager's question is asked where the session allows it, and
// otherwise the relation list is kept as a recovery copy, which the next
// start offers. A normal save or a clean exit removes the copy.

#include <cstdio>
#include <filesystem>

#include <QCoreApplication>

#include "app/provan_dlg.h"
#include "app/save_question.h"
#include "core/settings_names.h"
#include "files/bpc_writer.h"
#include "files/recovery_copy.h"
#include "ui/network_settings_store.h"
#include "ui/prompts.h"
#include "ui/user_folders.h"

namespace corvessa {

std::string CProvanDlg::RecoveryFolder() const {
  if (!env_.stateFolder.empty()) return env_.stateFolder;
  return (std::filesystem::path(UserStateFolder()) / settings_names::kApplicationName).string();
}

std::vector<std::uint8_t> CProvanDlg::UnsavedContent() const { return WriteBpc(settings_, table_); }

void CProvanDlg::KeepRecoveryCopy() {
  RecoveryStore store(RecoveryFolder());
  const AtomicWriteResult kept = store.Keep(settings_, table_, currentFileName_);
  if (kept) return;
  // Said twice: the window may be gone before anyone reads its status line.
  const std::string text = FormatText(text::kRecoveryKeepFailed, store.Folder().c_str(), kept.cause.c_str());
  StatusLine(text);
  std::fprintf(stderr, "corvessa: %s\n", text.c_str());
}

void CProvanDlg::RemoveRecoveryCopy() { RecoveryStore(RecoveryFolder()).Remove(); }

void CProvanDlg::EndSession() {
  if (ending_) return;
  ending_ = true;
  // Every dialog and message box over the window ends as if cancelled, then
  // the window's own loop; DoModal keeps what must be kept once they have
  // all returned, so no answer given on the way can lose the list.
  if (env_.endModalLoops) {
    env_.endModalLoops();
  } else {
    QCoreApplication::exit(0);
  }
  QDialog::done(QDialog::Rejected);
}

void CProvanDlg::FinishSession() {
  // A start-up that ended at a fatal step has nothing to keep (and the
  // process is gone by then anyway).
  if (!started_) return;
  const bool discarded = discardedContent_ && *discardedContent_ == UnsavedContent();
  if (modified_ && !discarded) {
    KeepRecoveryCopy();
  } else {
    RemoveRecoveryCopy();
  }
  // The network settings are saved by the destructor, as on every end.
}

bool CProvanDlg::OnCommitData(bool mayAsk) {
  // The session may end the process at any moment after this: the settings
  // are saved now, as a normal exit saves them.
  if (started_) SaveNetworkSettings(store_, ReadLastAdapter(store_), settings_);
  discardedContent_.reset();
  if (!modified_) return true;
  if (!mayAsk) {
    KeepRecoveryCopy();
    return true;
  }
  switch (AskAndSave(*this)) {
    case SaveAnswer::Saved:
      return true;
    case SaveAnswer::Discard:
      // The user has answered for these changes: a signal that follows must
      // not bring them back at the next start.
      discardedContent_ = UnsavedContent();
      RemoveRecoveryCopy();
      return true;
    case SaveAnswer::NotSaved:
      StatusLine(LoadString(kIdsExitSaveFailed));
      return false;
    case SaveAnswer::Cancel:
      return false;
  }
  return false;
}

}  // namespace corvessa
