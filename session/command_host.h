#pragma once
// What the commands of the session need of the window they run in: its
// message boxes and file dialogs, its status line and title, and the few
// window actions a command leads to. The window implements it with its
// widgets; tests and the headless service with scripts of their own.

#include <string_view>

namespace corvessa {

class FileDialogs;
class Prompts;

class CommandHost {
 public:
  virtual ~CommandHost() = default;
  virtual Prompts& MessageBoxes() = 0;
  virtual FileDialogs& FileChooser() = 0;
  // False only when the window has no status line.
  virtual bool StatusLine(std::string_view text) = 0;
  // The title from the current file name: "Corvessa", or "Corvessa - <file>".
  virtual void UpdateTitle() = 0;
  // Empties the Discovery History.
  virtual void ClearHistory() = 0;
  // The program's normal end (Exit, Escape, the close box).
  virtual void EndWindow() = 0;
};

}  // namespace corvessa
