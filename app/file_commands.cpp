// File commands: New, Open, Save, Save As, the exit flow that offers to save
// first, and the loading and saving of .bpc and .csv files beneath them.

#include <cerrno>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "app/provan_dlg.h"
#include "app/save_question.h"
#include "core/posix_file.h"
#include "core/settings_names.h"
#include "files/bpc_reader.h"
#include "files/bpc_writer.h"
#include "files/csv_reader.h"
#include "files/csv_writer.h"
#include "files/file_access.h"
#include "files/load_error.h"
#include "ui/prompts.h"
#include "ui/widgets/file_dialogs.h"
#include "ui/widgets/table.h"

namespace corvessa {

namespace {

// Status text when the save question stopped a change of interface.
constexpr std::string_view kInterfaceNotChanged = "The network interface was not changed.";

// The type of a file is decided by the last three characters of its name.
constexpr std::string_view kCsvSuffix = "csv";
constexpr std::string_view kBpcSuffix = "bpc";

bool EndsWithNoCase(std::string_view text, std::string_view lowerSuffix) {
  if (text.size() < lowerSuffix.size()) return false;
  const std::string_view tail = text.substr(text.size() - lowerSuffix.size());
  for (std::size_t i = 0; i < lowerSuffix.size(); ++i) {
    const auto c = static_cast<unsigned char>(tail[i]);
    const auto lower = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower != lowerSuffix[i]) return false;
  }
  return true;
}

// Every other name, "report.txt" included, is a .bpc file.
bool IsCsvName(std::string_view path) { return EndsWithNoCase(path, kCsvSuffix); }

FileDialogRequest LoadRequest() {
  return {std::string(text::kLoadFilter), std::string(text::kDefaultExtension)};
}

FileDialogRequest SaveRequest() {
  return {std::string(text::kSaveFilter), std::string(text::kDefaultExtension)};
}

// The failure text with its cause behind it, so the familiar words still
// lead: "Save file failed: ... save file (Permission denied)".
std::string SaveFailedText(std::string_view cause) {
  std::string text(LoadString(kIdsSaveFailed));
  if (!cause.empty()) {
    text += " (";
    text += cause;
    text += ')';
  }
  return text;
}

}  // namespace

SaveAnswer AskAndSave(CProvanDlg& window) {
  switch (window.MessageBoxes().AskYesNoCancel(LoadString(kIdsSaveChangesPrompt),
                                               LoadString(kIdsSaveChangesCaption))) {
    case PromptAnswer::Yes: {
      const bool saved = window.SaveConfiguration(window.CurrentFileName().empty());
      // A name chosen in the save dialog is the current file now, also when
      // writing failed; the title follows it.
      window.UpdateTitle();
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

bool SaveBeforeReplacingList(CProvanDlg& window) {
  if (!window.Modified()) return true;
  switch (AskAndSave(window)) {
    case SaveAnswer::Saved:
    case SaveAnswer::Discard:
      return true;
    case SaveAnswer::NotSaved:
      window.StatusLine(LoadString(kIdsOpenSaveFailed));
      return false;
    case SaveAnswer::Cancel:
      break;
  }
  return false;
}

namespace {

struct FileLoad {
  LoadError error = LoadError::Access;
  int omitted = 0;
  bool olderFormat = false;
  bool unsupportedVersion = false;
  std::optional<BpcLoad> bpc;  // .bpc only: the settings to apply on success
};

// Reads the whole file under a shared lock and hands it to its reader, which
// appends the relations to `table`.
FileLoad ReadConfigurationFile(const std::string& path, RelationTable& table, Prompts& prompts) {
  FileLoad result;
  try {
    const std::optional<std::vector<std::uint8_t>> bytes = ReadFileLocked(path);
    if (!bytes) return result;
    if (IsCsvName(path)) {
      const CsvLoad load = ReadCsv(*bytes, table, prompts);
      result.error = load.error;
      result.omitted = load.omitted;
      return result;
    }
    BpcLoad load = ReadBpc(*bytes, table, prompts);
    result.error = load.error;
    result.omitted = load.omitted;
    result.olderFormat = load.IsOlderFormat();
    result.unsupportedVersion = load.format == BpcLoad::Format::UnsupportedVersion;
    result.bpc = std::move(load);
  } catch (const std::bad_alloc&) {
    result = FileLoad{};  // no memory: the access message
  }
  return result;
}

}  // namespace

bool CProvanDlg::LoadConfiguration(bool showDialog) {
  StatusLine(LoadString(kIdsLoading));
  std::string path;
  if (showDialog) {
    std::optional<std::string> chosen = fileDialogs_->Open(LoadRequest());
    if (!chosen) return false;
    if (chosen->size() > kMaxFileNameLength) {
      // A name that cannot be kept as the current file is refused before the
      // list is touched, never cut down to another file's name.
      const LoadErrorBox box = LoadErrorMessage(LoadError::Access, *chosen);
      prompts_->Message(box.text, box.caption);
      StatusLine(LoadString(kIdsLoadFailed));
      return false;
    }
    path = std::move(*chosen);
  } else {
    if (!EndsWithNoCase(currentFileName_, kCsvSuffix) && !EndsWithNoCase(currentFileName_, kBpcSuffix)) {
      StatusLine(LoadString(kIdsLoadFailed));
      return false;
    }
    path = currentFileName_;
  }

  // The rows refer to the relations: they go first. From here on the old
  // relations are gone, whatever happens.
  relationList_->Rows()->DeleteAll();
  table_.Clear();

  const FileLoad load = ReadConfigurationFile(path, table_, *prompts_);
  if (load.unsupportedVersion) {
    // The reader has shown its box; nothing else changes, and the status
    // line keeps "Loading...".
    UpdateRelationCounter();
    UpdateButtons();
    return false;
  }
  if (load.error != LoadError::None) {
    const LoadErrorBox box = LoadErrorMessage(load.error, path);
    prompts_->Message(box.text, box.caption);
    table_.Clear();
    StatusLine(LoadString(kIdsLoadFailed));
    UpdateRelationCounter();
    UpdateButtons();
    return false;
  }

  if (load.bpc) ApplyBpcSettings(*load.bpc, settings_);
  // Each at the top: the file's last relation ends up first in the list.
  for (const auto& relation : table_) AddRelationRow(relation.get(), 0);
  currentFileName_ = path;
  UpdateTitle();
  StatusLine(load.omitted == 0 ? std::string(LoadString(kIdsLoadComplete))
                               : FormatString(kIdsLoadCompleteOmitted, load.omitted));
  // A file of an older format is not saved as format 3 yet.
  modified_ = load.olderFormat;
  UpdateRelationCounter();
  UpdateButtons();
  return true;
}

bool CProvanDlg::SaveConfiguration(bool askName) {
  StatusLine(LoadString(kIdsSaving));
  // CSV files hold no settings, but a configuration with broken settings is
  // not saved in any form.
  if (!IsValidNetworkSettings(settings_)) {
    prompts_->Message(LoadString(kIdsCannotSaveSettings), LoadString(kIdsSaveFileFailureCaption));
    return false;
  }

  const bool ask = askName || currentFileName_.empty();
  std::string path = currentFileName_;
  if (ask) {
    std::optional<std::string> chosen = fileDialogs_->Save(SaveRequest());
    if (!chosen) return false;
    if (chosen->size() > kMaxFileNameLength) {
      // Writing a file whose name cannot be kept would send the next Save
      // somewhere else: nothing is written.
      StatusLine(SaveFailedText(ErrorText(ENAMETOOLONG)));
      return false;
    }
    path = std::move(*chosen);
  }

  AtomicWriteResult written;
  try {
    // The old file stays intact until the new one is complete on disk.
    written = IsCsvName(path) ? SaveFileAtomically(path, WriteCsv(table_))
                              : SaveFileAtomically(path, WriteBpc(settings_, table_));
  } catch (const std::bad_alloc&) {
    written = {ENOMEM, ErrorText(ENOMEM)};
  }
  if (ask) currentFileName_ = path;
  if (!written) {
    StatusLine(SaveFailedText(written.cause));
    return false;
  }
  StatusLine(LoadString(kIdsSaveComplete));
  modified_ = false;
  // Saved: a copy kept from an earlier end is not needed any more.
  RemoveRecoveryCopy();
  return true;
}

void CProvanDlg::PromptSaveAndQuit() {
  if (!modified_) {
    EndCleanly();
    return;
  }
  switch (AskAndSave(*this)) {
    case SaveAnswer::Saved:
    case SaveAnswer::Discard:
      EndCleanly();
      return;
    case SaveAnswer::NotSaved:
      StatusLine(LoadString(kIdsExitSaveFailed));
      return;
    case SaveAnswer::Cancel:
      return;
  }
}

void CProvanDlg::EndCleanly() {
  // Nothing is left unsaved that the user did not decline to save.
  RemoveRecoveryCopy();
  QDialog::done(QDialog::Rejected);
}

void CProvanDlg::OnFileNew() {
  if (table_.Count() == 0) return;
  bool clear = true;
  if (modified_) {
    const SaveAnswer answer = AskAndSave(*this);
    if (answer == SaveAnswer::Cancel) return;
    clear = answer != SaveAnswer::NotSaved;
  }
  if (clear) {
    // The rows refer to the relations: they go first.
    relationList_->Rows()->DeleteAll();
    table_.Clear();
    modified_ = false;
    UpdateRelationCounter();
    UpdateButtons();
  }
  // Also after a failed save: the history and the file name go in any case.
  OnClearHistory();
  currentFileName_.clear();
  UpdateTitle();
}

void CProvanDlg::OnFileOpen() {
  if (!SaveBeforeReplacingList(*this)) return;
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

bool CProvanDlg::SaveBeforeInterfaceChange(std::string_view previousInterface) {
  if (!modified_) return true;
  switch (AskAndSave(*this)) {
    case SaveAnswer::Saved:
    case SaveAnswer::Discard:
      return true;
    case SaveAnswer::NotSaved:
    case SaveAnswer::Cancel:
      break;
  }
  // The dialog has already recorded the new choice; the server stays where it
  // is, so the setting must say so again.
  (void)store_.SetString(settings_names::kVersionSection, settings_names::kLastAdapter, previousInterface);
  StatusLine(kInterfaceNotChanged);
  return false;
}

}  // namespace corvessa
