#include "app/command_state.h"

#include <algorithm>

#include "app/command_ids.h"

namespace corvessa {

bool ConflictsWithCommissioning(int command) {
  switch (command) {
    case ids::kEnableBootpDhcp:
    case ids::kDisableBootpDhcp:
    case ids::kEnableButton:
    case ids::kDisableButton:
    case ids::kDeleteRelation:
    case ids::kDeleteRelationButton:
    case ids::kProperties:
    case ids::kResetModule:
    case ids::kFileNew:
    case ids::kFileOpen:
    case ids::kSelectInterface:
      return true;
    default:
      return false;
  }
}

bool IsCommandEnabled(int command, const WindowState& state) {
  if (state.commissioning && ConflictsWithCommissioning(command)) return false;
  switch (command) {
    case ids::kFileSave:
      return state.hasFileName && state.modified;
    case ids::kClearHistory:
      return state.historyRows > 0;
    case ids::kDeleteRelation:
    case ids::kEnableBootpDhcp:
    case ids::kDisableBootpDhcp:
    case ids::kProperties:
      return state.selectedRelations > 0;
    case ids::kConfirmAddress:
      return state.selectedInConflict > 0;
    case ids::kResetModule:
      return state.selectedRelations == 1 && state.singleSelected != nullptr &&
             HasVendorPrefix(*state.singleSelected);
    default:
      return true;
  }
}

bool IsButtonShown(int button, const WindowState& state) {
  switch (button) {
    case ids::kClearHistoryButton:
      return state.historyRows > 0;
    case ids::kDeleteRelationButton:
    case ids::kEnableButton:
    case ids::kDisableButton:
      return state.selectedRelations > 0;
    default:
      return true;
  }
}

bool IsButtonEnabled(int button, const WindowState& state) {
  return IsButtonShown(button, state) && !(state.commissioning && ConflictsWithCommissioning(button));
}

}  // namespace corvessa
