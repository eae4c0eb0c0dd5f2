#pragma once
// The file commands of the window: New, Open, Save, Save As and Exit, the
// save question that protects unsaved changes, and LoadConfiguration and
// SaveConfiguration beneath them. They work on the session and talk to the
// user through the window's CommandHost.

#include <string_view>

#include "session/command_host.h"
#include "session/session.h"

namespace corvessa {

class RecoveryStore;

enum class SaveAnswer { Saved, NotSaved, Discard, Cancel };

class FileCommands {
 public:
  // `recovery`, when given, is the copy kept after an end from outside: a
  // save or a clean exit removes it. All must outlive the commands.
  FileCommands(Session& session, CommandHost& host, RecoveryStore* recovery = nullptr)
      : session_(session), host_(host), recovery_(recovery) {}

  void OnFileNew();
  void OnFileOpen();
  void OnFileSave();
  void OnFileSaveAs();
  // Exit, Escape and the close box: the save question when there are
  // unsaved changes, then the end of the window.
  void PromptSaveAndQuit();

  // The file chosen in the open dialog, or (start-up) the current file name.
  bool LoadConfiguration(bool showDialog);
  // The current file, or one chosen in the save dialog when `askName` is set
  // or no file is named.
  bool SaveConfiguration(bool askName);

  // "Would you like to save your changes?" with Yes, No and Cancel. Yes
  // saves, asking for a name only when no file is named yet.
  SaveAnswer AskAndSave();
  // Before Open or Import replace the list: the save question when there are
  // unsaved changes. False when the list must stay; a failed save has then
  // said so on the status line.
  bool SaveBeforeReplacingList();
  // Before the server moves to another interface, which discards the
  // relations: the save question when there are unsaved changes. False when
  // the change must stop.
  bool SaveBeforeInterfaceChange();

 private:
  void EndCleanly();

  Session& session_;
  CommandHost& host_;
  RecoveryStore* recovery_;
};

// "Save file failed: ... save file (Permission denied)": the failure text
// with its cause behind it, so the familiar words still lead.
std::string SaveFailedText(std::string_view cause);

}  // namespace corvessa
