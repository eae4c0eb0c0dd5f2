#pragma once
// What the main window needs from its surroundings. The program leaves every
// field empty and gets the real thing; tests hand in scripted parts.

#include <functional>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QPoint;
class QUrl;

namespace corvessa {

class FileDialogs;
struct KeaOptions;
class FirewallPolicyReader;
class HostNetwork;
class NetworkDialogs;
class Prompts;

struct Environment {
  // The per-user settings file; empty: SettingsStore::DefaultPath().
  std::string settingsPath;
  // Where unsaved relations are kept when the program is ended from outside;
  // empty: $XDG_STATE_HOME/corvessa.
  std::string stateFolder;
  // Not owned; nullptr: the window's own real implementation.
  Prompts* prompts = nullptr;
  FileDialogs* fileDialogs = nullptr;
  const HostNetwork* host = nullptr;
  FirewallPolicyReader* firewall = nullptr;
  NetworkDialogs* networkDialogs = nullptr;
  // Ends the process at once during start-up; empty: std::_Exit with a
  // non-zero status after a failure, 0 when the user gave up the interface
  // choice. A test's replacement may return, and the start-up then stops
  // where it is.
  std::function<void()> fatalExit;
  // The sockets start-up; empty: always succeeds (nothing to start on Linux).
  std::function<bool()> startSockets;
  // Ends every modal loop that runs (dialogs and message boxes shown over
  // the window) when the session ends; empty: QCoreApplication::exit. The
  // window's own loop is ended by the window.
  std::function<void()> endModalLoops;
  // The command-line arguments after the program name.
  std::vector<std::string> arguments;
  // Runs a context menu at a screen position and returns the chosen action
  // (nullptr: none); empty: QMenu::exec.
  std::function<QAction*(QMenu& menu, const QPoint& globalPosition)> runPopupMenu;
  // Opens the help file and calls `unavailable`, at once or later, when
  // nothing could show it; empty: OpenWithDesktop.
  std::function<void(const QUrl& url, std::function<void()> unavailable)> openUrl;
  // The options dialog of the export to Kea: changes `options` and returns
  // true for OK; empty: the real dialog. `bootpDevices` listed devices asked
  // by BOOTP during this run.
  std::function<bool(KeaOptions& options, int bootpDevices)> runKeaExportDialog;
  // The program's executable; empty: QCoreApplication::applicationFilePath().
  std::string executablePath;
};

}  // namespace corvessa
