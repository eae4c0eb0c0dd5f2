#pragma once
// Which menu commands are enabled and which buttons are shown, computed from
// the state of the two lists, the file name and the modified flag. Nothing is
// stored: the window asks each time a pop-up opens or the buttons update.

#include "relations/relation_table.h"

namespace corvessa {

struct WindowState {
  bool hasFileName = false;  // CurrentFileName is not empty
  bool modified = false;
  int historyRows = 0;
  int selectedRelations = 0;
  // The relation of the selected row when exactly one row is selected.
  const Relation* singleSelected = nullptr;
  // Enable or Disable BOOTP/DHCP is running.
  bool commissioning = false;
  // Selected relations whose address is in conflict (not given until confirmed).
  int selectedInConflict = 0;
};

// The commands (menu commands and buttons) that wait while Enable or Disable
// BOOTP/DHCP runs: another run; deleting or editing relations, so that what
// is listed stays what is being commissioned; the reset message, which would
// send a device being commissioned back to its factory settings; and New,
// Open and the change of interface, which replace the whole relation list.
bool ConflictsWithCommissioning(int command);

// Commands without a rule of their own are always enabled.
bool IsCommandEnabled(int command, const WindowState& state);

// Buttons 1004, 1003, 1018 and 1017 are shown together with their rule; 1005
// always. A shown button is enabled unless it waits for a running command.
bool IsButtonShown(int button, const WindowState& state);
bool IsButtonEnabled(int button, const WindowState& state);

}  // namespace corvessa
