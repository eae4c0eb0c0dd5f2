// The one way in for every menu, context-menu, button and key command.

#include <QKeyEvent>

#include "app/command_ids.h"
#include "app/command_state.h"
#include "app/main_window.h"
#include "ui/widgets/table.h"

namespace corvessa {

bool MainWindow::OnCommand(int id) {
  // Greyed while a command runs; a key or a stale click does nothing either.
  if (CommissioningRunning() && ConflictsWithCommissioning(id)) return true;
  switch (id) {
    case ids::kOk:
    case ids::kCancel:
    case ids::kFileExit:
      // Enter ends the window like Escape and the close box: unsaved relations
      // are offered for saving, never dropped by a stray key.
      fileCommands_.PromptSaveAndQuit();
      return true;
    case ids::kFileNew:
      fileCommands_.OnFileNew();
      UpdateButtons();
      return true;
    case ids::kFileOpen:
      fileCommands_.OnFileOpen();
      UpdateButtons();
      return true;
    case ids::kFileSave:
      fileCommands_.OnFileSave();
      return true;
    case ids::kFileSaveAs:
      fileCommands_.OnFileSaveAs();
      return true;
    case ids::kImportConfiguration:
      handoffCommands_->OnImport();
      UpdateButtons();
      return true;
    case ids::kExportKea:
      handoffCommands_->OnExportKea();
      return true;
    case ids::kExportDnsmasq:
      handoffCommands_->OnExportDnsmasq();
      return true;
    case ids::kSelectInterface:
      OnSelectInterface();
      return true;
    case ids::kNetworkSettings:
      OnNetworkSettings();
      return true;
    case ids::kAddRelation:
    case ids::kAddRelationContext:
    case ids::kAddRelationButton:
      OnAddRelation();
      return true;
    case ids::kClearHistory:
    case ids::kClearHistoryButton:
      OnClearHistory();
      return true;
    case ids::kDeleteRelation:
    case ids::kDeleteRelationButton:
      OnDeleteRelation();
      return true;
    case ids::kEnableBootpDhcp:
      OnEnableBootpDhcp();
      return true;
    case ids::kDisableBootpDhcp:
      OnDisableBootpDhcp();
      return true;
    case ids::kEnableButton:
      OnButtonEnable();
      return true;
    case ids::kDisableButton:
      OnButtonDisable();
      return true;
    case ids::kResetModule:
      OnResetNetworkSettings();
      return true;
    case ids::kProperties:
      OnProperties();
      UpdateButtons();
      return true;
    case ids::kConfirmAddress:
      OnConfirmAddress();
      return true;
    case ids::kHelpTopics:
    case ids::kHelp:
      OnHelpTopics();
      return true;
    case ids::kAbout:
      OnAbout();
      return true;
    default:
      return OnScanCommand(id);
  }
}

void MainWindow::reject() {
  // Escape and the close box.
  OnCommand(ids::kCancel);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (enter && modifiers == Qt::NoModifier) {
    // Only keys that no control took reach the window: a focused button has
    // already been pressed by its own Enter.
    event->accept();
    OnCommand(ids::kOk);
    return;
  }
  if (event->key() == Qt::Key_F1 && modifiers == Qt::NoModifier) {
    event->accept();
    OnCommand(ids::kHelp);
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace corvessa
