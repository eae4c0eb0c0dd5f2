// The main menu, the two context menus and their enabling.

#include <span>

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/command_ids.h"
#include "app/command_state.h"
#include "app/control_id.h"
#include "session/handoff_texts.h"
#include "app/main_window.h"
#include "server/conflict_texts.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/table.h"

namespace corvessa {

namespace {

// One entry of a menu; command 0 is a separator, or a submenu when it has
// items.
struct MenuItem {
  std::string_view text;
  int command;
  std::span<const MenuItem> submenu = {};
};

constexpr int kSeparator = 0;

struct PopupMenu {
  std::string_view title;
  std::span<const MenuItem> items;
};

constexpr MenuItem kExportItems[] = {{handoff_text::kMenuExportKea, ids::kExportKea},
                                     {handoff_text::kMenuExportDnsmasq, ids::kExportDnsmasq}};

constexpr MenuItem kFileItems[] = {{text::kMenuNew, ids::kFileNew},
                                   {text::kMenuOpen, ids::kFileOpen},
                                   {{}, kSeparator},
                                   {text::kMenuSave, ids::kFileSave},
                                   {text::kMenuSaveAs, ids::kFileSaveAs},
                                   {{}, kSeparator},
                                   {handoff_text::kMenuImport, ids::kImportConfiguration},
                                   {handoff_text::kMenuExport, kSeparator, kExportItems},
                                   {{}, kSeparator},
                                   {text::kMenuExit, ids::kFileExit}};

constexpr MenuItem kToolsItems[] = {{text::kMenuSelectInterface, ids::kSelectInterface},
                                    {text::kMenuNetworkSettings, ids::kNetworkSettings},
                                    {text::kMenuAddRelation, ids::kAddRelation},
                                    {text::kMenuClearDiscoveryHistory, ids::kClearHistory},
                                    {text::kMenuDeleteRelation, ids::kDeleteRelation},
                                    {text::kMenuEnable, ids::kEnableBootpDhcp},
                                    {text::kMenuDisable, ids::kDisableBootpDhcp},
                                    {text::kMenuResetModule, ids::kResetModule},
                                    {text::kMenuProperties, ids::kProperties},
                                    {text::kMenuConfirmAddress, ids::kConfirmAddress}};

constexpr MenuItem kHelpItems[] = {
    {text::kMenuHelpTopics, ids::kHelpTopics}, {{}, kSeparator}, {text::kMenuAbout, ids::kAbout}};

// Right-click on the history list.
constexpr MenuItem kHistoryItems[] = {{text::kMenuAddRelation, ids::kAddRelation},
                                      {text::kMenuClearHistory, ids::kClearHistory}};

// Right-click on the relation list.
constexpr MenuItem kRelationItems[] = {{text::kMenuAddRelation, ids::kAddRelationContext},
                                       {text::kMenuDelete, ids::kDeleteRelation},
                                       {text::kMenuEnable, ids::kEnableBootpDhcp},
                                       {text::kMenuDisable, ids::kDisableBootpDhcp},
                                       {text::kMenuResetModule, ids::kResetModule},
                                       {text::kMenuProperties, ids::kProperties},
                                    {text::kMenuConfirmAddress, ids::kConfirmAddress}};

constexpr PopupMenu kFileMenu{text::kMenuFile, kFileItems};
constexpr PopupMenu kToolsMenu{text::kMenuTools, kToolsItems};
constexpr PopupMenu kHelpMenu{text::kMenuHelp, kHelpItems};
constexpr PopupMenu kHistoryMenu{text::kHistoryMenuTitle, kHistoryItems};
constexpr PopupMenu kRelationMenu{text::kRelationMenuTitle, kRelationItems};

void FillMenu(QMenu& menu, const PopupMenu& popup) {
  menu.setTitle(ToQString(popup.title));
  for (const MenuItem& item : popup.items) {
    if (!item.submenu.empty()) {
      auto* submenu = new QMenu(&menu);
      FillMenu(*submenu, PopupMenu{item.text, item.submenu});
      menu.addMenu(submenu);
      continue;
    }
    if (item.command == kSeparator) {
      menu.addSeparator();
      continue;
    }
    QAction* action = menu.addAction(ToQString(item.text));
    SetControlId(action, item.command);
  }
}

}  // namespace

void MainWindow::BuildMenus() {
  for (const PopupMenu* popup : {&kFileMenu, &kToolsMenu, &kHelpMenu}) {
    auto* menu = new QMenu(menuBar_);
    FillMenu(*menu, *popup);
    menuBar_->addMenu(menu);
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenuEnabling(*menu); });
    // The pop-up's own items and those of its submenus.
    QList<QMenu*> menus = menu->findChildren<QMenu*>();
    menus.prepend(menu);
    for (QMenu* each : menus) {
      for (QAction* action : each->actions()) {
        const int id = ControlIdOf(action);
        if (id != 0) connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
      }
    }
  }
}

QAction* MainWindow::MenuAction(int id) const {
  for (const QMenu* menu : menuBar_->findChildren<QMenu*>()) {
    for (QAction* action : menu->actions()) {
      if (ControlIdOf(action) == id) return action;
    }
  }
  return nullptr;
}

void MainWindow::UpdateMenuEnabling(QMenu& menu) {
  const WindowState state = CurrentState();
  for (QAction* action : menu.actions()) {
    const int id = ControlIdOf(action);
    if (id != 0 && !action->isSeparator()) action->setEnabled(IsCommandEnabled(id, state));
  }
}

void MainWindow::RunPopup(QMenu& menu, const QPoint& globalPosition) {
  // The rules of the window apply again when the pop-up opens.
  connect(&menu, &QMenu::aboutToShow, this, [this, &menu] { UpdateMenuEnabling(menu); });
  QAction* chosen = env_.runPopupMenu ? env_.runPopupMenu(menu, globalPosition) : menu.exec(globalPosition);
  if (chosen != nullptr) OnCommand(ControlIdOf(chosen));
}

void MainWindow::OnHistoryRightClick(const QPoint& globalPosition) {
  QMenu menu(this);
  SetControlId(&menu, ids::kHistoryContextMenu);
  FillMenu(menu, kHistoryMenu);
  const bool hasRows = historyList_->RowCount() > 0;
  for (QAction* action : menu.actions()) {
    action->setEnabled(ControlIdOf(action) != ids::kClearHistory || hasRows);
  }
  RunPopup(menu, globalPosition);
}

void MainWindow::OnRelationRightClick(const QPoint& globalPosition) {
  QMenu menu(this);
  SetControlId(&menu, ids::kRelationContextMenu);
  FillMenu(menu, kRelationMenu);
  const bool selected = relationList_->SelectedCount() > 0;
  const WindowState state = CurrentState();
  for (QAction* action : menu.actions()) {
    const int id = ControlIdOf(action);
    action->setEnabled(id == ids::kConfirmAddress ? IsCommandEnabled(id, state)
                                                  : id == ids::kAddRelationContext || selected);
  }
  RunPopup(menu, globalPosition);
}

}  // namespace corvessa
