#include "session/recovery.h"

#include <cstdio>

#include "core/strings.h"
#include "files/bpc_writer.h"
#include "ui/prompts.h"

namespace corvessa {

namespace {

std::vector<std::uint8_t> UnsavedContent(const Session& session) {
  return WriteBpc(session.Settings(), session.Relations());
}

}  // namespace

void SessionRecovery::Keep() {
  const AtomicWriteResult kept = store_.Keep(session_.Settings(), session_.Relations(), session_.CurrentFileName());
  if (kept) return;
  // Said twice: the window may be gone before anyone reads its status line.
  const std::string text = FormatText(text::kRecoveryKeepFailed, store_.Folder().c_str(), kept.cause.c_str());
  host_.StatusLine(text);
  std::fprintf(stderr, "corvessa: %s\n", text.c_str());
}

void SessionRecovery::Finish() {
  const bool discarded = discarded_ && *discarded_ == UnsavedContent(session_);
  if (session_.Modified() && !discarded) {
    Keep();
  } else {
    store_.Remove();
  }
}

bool SessionRecovery::OnCommitData(bool mayAsk) {
  discarded_.reset();
  if (!session_.Modified()) return true;
  if (!mayAsk) {
    Keep();
    return true;
  }
  switch (files_.AskAndSave()) {
    case SaveAnswer::Saved:
      return true;
    case SaveAnswer::Discard:
      // The user has answered for these changes: a signal that follows must
      // not bring them back at the next start.
      discarded_ = UnsavedContent(session_);
      store_.Remove();
      return true;
    case SaveAnswer::NotSaved:
      host_.StatusLine(LoadString(kIdsExitSaveFailed));
      return false;
    case SaveAnswer::Cancel:
      return false;
  }
  return false;
}

bool SessionRecovery::Offer() {
  const std::optional<RecoveryCopy> copy = store_.Find();
  if (!copy) return false;
  const std::string question = copy->fileName.empty()
                                   ? std::string(text::kRecoveryOfferUnnamed)
                                   : FormatText(text::kRecoveryOfferNamed, copy->fileName.c_str());
  Prompts& prompts = host_.MessageBoxes();
  if (!prompts.AskChoice(question, text::kRecoveryCaption, text::kRecoveryRestore, text::kRecoveryDiscard)) {
    store_.Remove();
    return false;
  }

  RelationTable relations;
  bool settingsUsable = true;
  const BpcLoad load = ReadRecoveryCopy(copy->bytes, relations, settingsUsable);
  if (!load.Succeeded()) {
    session_.ClearRelations();
    prompts.Message(FormatText(text::kRecoveryUnreadable, copy->copyPath.c_str()), text::kRecoveryCaption);
    // Kept for a rescue by hand, but not offered again.
    store_.Remove();
    return false;
  }
  std::optional<NetworkSettings> settings;
  if (settingsUsable) {
    settings = session_.Settings();
    ApplyBpcSettings(load, *settings);
  }
  // The copy stays until a save or a clean exit.
  session_.Restore(std::move(relations), settings, copy->fileName);
  host_.UpdateTitle();
  host_.StatusLine(session_.CurrentFileName().empty()
                       ? std::string(text::kRecoveryRestoredUnnamed)
                       : FormatText(text::kRecoveryRestoredNamed, session_.CurrentFileName().c_str()));
  return true;
}

}  // namespace corvessa
