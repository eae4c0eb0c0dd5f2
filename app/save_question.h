#pragma once
// The save question of New, Open, Import, Exit and the change of interface.

namespace corvessa {

class CProvanDlg;

enum class SaveAnswer { Saved, NotSaved, Discard, Cancel };

// "Would you like to save your changes?" with Yes, No and Cancel. Yes saves,
// asking for a name only when no file is named yet.
SaveAnswer AskAndSave(CProvanDlg& window);

// Before Open or Import replace the list: the save question when there are
// unsaved changes. False when the list must stay; a failed save has then
// said so on the status line.
bool SaveBeforeReplacingList(CProvanDlg& window);

}  // namespace corvessa
