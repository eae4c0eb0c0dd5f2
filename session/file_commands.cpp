#include "session/file_commands.h"

#include <cerrno>
#include <optional>
#include <string>

#include "core/posix_file.h"
#include "core/strings.h"
#include "files/bpc_reader.h"
#include "files/file_type.h"
#include "files/recovery_copy.h"
#include "ui/file_dialogs.h"
#include "ui/prompts.h"

namespace corvessa {

namespace {

FileDialogRequest LoadRequest() {
  return {std::string(text::kLoadFilter), std::string(text::kDefaultExtension)};
}

FileDialogRequest SaveRequest() {
  return {std::string(text::kSaveFilter), std::string(text::kDefaultExtension)};
}

void ShowLimitReached(Prompts& prompts) {
  prompts.Message(FormatString(kIdsRelationLimitOmitted, RelationCapacity, RelationCapacity),
                  LoadString(kIdsLimitReachedCaption));
}

}  // namespace

std::string SaveFailedText(std::string_view cause) {
  std::string text(LoadString(kIdsSaveFailed));
  if (!cause.empty()) {
    text += " (";
    text += cause;
    text += ')';
  }
  return text;
}

bool FileCommands::LoadConfiguration(bool showDialog) {
  host_.StatusLine(LoadString(kIdsLoading));
  std::string path;
  if (showDialog) {
    std::optional<std::string> chosen = host_.FileChooser().Open(LoadRequest());
    if (!chosen) return false;
    if (chosen->size() > kMaxFileNameLength) {
      // A name that cannot be kept as the current file is refused before the
      // list is touched, never cut down to another file's name.
      const LoadErrorBox box = LoadErrorMessage(LoadError::Access, *chosen);
      host_.MessageBoxes().Message(box.text, box.caption);
      host_.StatusLine(LoadString(kIdsLoadFailed));
      return false;
    }
    path = std::move(*chosen);
  } else {
    if (!HasRelationFileSuffix(session_.CurrentFileName())) {
      host_.StatusLine(LoadString(kIdsLoadFailed));
      return false;
    }
    path = session_.CurrentFileName();
  }

  const FileLoadOutcome load = session_.Load(path);
  if (load.limitReached) ShowLimitReached(host_.MessageBoxes());
  if (load.unsupportedVersion) {
    host_.MessageBoxes().Message(UnsupportedVersionText(*load.unsupportedVersion),
                                 LoadString(kIdsFileFormatErrorCaption));
    // Nothing else changes, and the status line keeps "Loading...".
    return false;
  }
  if (load.error != LoadError::None) {
    const LoadErrorBox box = LoadErrorMessage(load.error, path);
    host_.MessageBoxes().Message(box.text, box.caption);
    host_.StatusLine(LoadString(kIdsLoadFailed));
    return false;
  }
  host_.UpdateTitle();
  host_.StatusLine(load.omitted == 0 ? std::string(LoadString(kIdsLoadComplete))
                                     : FormatString(kIdsLoadCompleteOmitted, load.omitted));
  return true;
}

bool FileCommands::SaveConfiguration(bool askName) {
  host_.StatusLine(LoadString(kIdsSaving));
  // CSV files hold no settings, but a configuration with broken settings is
  // not saved in any form.
  if (!IsValidNetworkSettings(session_.Settings())) {
    host_.MessageBoxes().Message(LoadString(kIdsCannotSaveSettings), LoadString(kIdsSaveFileFailureCaption));
    return false;
  }

  const bool ask = askName || session_.CurrentFileName().empty();
  std::string path = session_.CurrentFileName();
  if (ask) {
    std::optional<std::string> chosen = host_.FileChooser().Save(SaveRequest());
    if (!chosen) return false;
    if (chosen->size() > kMaxFileNameLength) {
      // Writing a file whose name cannot be kept would send the next Save
      // somewhere else: nothing is written.
      host_.StatusLine(SaveFailedText(ErrorText(ENAMETOOLONG)));
      return false;
    }
    path = std::move(*chosen);
  }

  const AtomicWriteResult written = session_.Save(path);
  // A name chosen in the dialog is the current file now, also when writing failed.
  if (ask) (void)session_.SetCurrentFileName(path);
  if (!written) {
    host_.StatusLine(SaveFailedText(written.cause));
    return false;
  }
  host_.StatusLine(LoadString(kIdsSaveComplete));
  // Saved: a copy kept from an earlier end is not needed any more.
  if (recovery_ != nullptr) recovery_->Remove();
  return true;
}

SaveAnswer FileCommands::AskAndSave() {
  switch (host_.MessageBoxes().AskYesNoCancel(LoadString(kIdsSaveChangesPrompt),
                                               LoadString(kIdsSaveChangesCaption))) {
    case PromptAnswer::Yes: {
      const bool saved = SaveConfiguration(session_.CurrentFileName().empty());
      // The title follows a name chosen in the save dialog.
      host_.UpdateTitle();
      return saved ? SaveAnswer::Saved : SaveAnswer::NotSaved;
    }
    case PromptAnswer::No:
      return SaveAnswer::Discard;
    case PromptAnswer::Ok:
    case PromptAnswer::Cancel:
      break;
  }
  return SaveAnswer::Cancel;
}

bool FileCommands::SaveBeforeReplacingList() {
  if (!session_.Modified()) return true;
  switch (AskAndSave()) {
    case SaveAnswer::Saved:
    case SaveAnswer::Discard:
      return true;
    case SaveAnswer::NotSaved:
      host_.StatusLine(LoadString(kIdsOpenSaveFailed));
      return false;
    case SaveAnswer::Cancel:
      break;
  }
  return false;
}

bool FileCommands::SaveBeforeInterfaceChange() {
  if (!session_.Modified()) return true;
  const SaveAnswer answer = AskAndSave();
  return answer == SaveAnswer::Saved || answer == SaveAnswer::Discard;
}

void FileCommands::PromptSaveAndQuit() {
  if (!session_.Modified()) {
    EndCleanly();
    return;
  }
  switch (AskAndSave()) {
    case SaveAnswer::Saved:
    case SaveAnswer::Discard:
      EndCleanly();
      return;
    case SaveAnswer::NotSaved:
      host_.StatusLine(LoadString(kIdsExitSaveFailed));
      return;
    case SaveAnswer::Cancel:
      return;
  }
}

void FileCommands::EndCleanly() {
  // Nothing is left unsaved that the user did not decline to save.
  if (recovery_ != nullptr) recovery_->Remove();
  host_.EndWindow();
}

void FileCommands::OnFileNew() {
  if (session_.Relations().Count() == 0) return;
  bool clear = true;
  if (session_.Modified()) {
    const SaveAnswer answer = AskAndSave();
    if (answer == SaveAnswer::Cancel) return;
    clear = answer != SaveAnswer::NotSaved;
  }
  if (clear) {
    session_.ClearRelations();
    session_.SetModified(false);
  }
  // Also after a failed save: the history and the file name go in any case.
  host_.ClearHistory();
  (void)session_.SetCurrentFileName({});
  host_.UpdateTitle();
}

void FileCommands::OnFileOpen() {
  if (!SaveBeforeReplacingList()) return;
  if (!LoadConfiguration(true)) host_.StatusLine(LoadString(kIdsLoadAborted));
}

void FileCommands::OnFileSave() {
  SaveConfiguration(session_.CurrentFileName().empty());
  host_.UpdateTitle();
}

void FileCommands::OnFileSaveAs() {
  SaveConfiguration(true);
  host_.UpdateTitle();
}

}  // namespace corvessa
