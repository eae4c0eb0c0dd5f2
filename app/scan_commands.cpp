// The View menu: the identity scan, its repetition and the devices it found.

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "app/command_ids.h"
#include "app/control_id.h"
#include "app/main_window.h"
#include "app/scan_control.h"
#include "enip/scan_texts.h"
#include "session/relation_commands.h"
#include "ui/network_settings_store.h"
#include "ui/widgets/qt_text.h"

namespace corvessa {

void MainWindow::SetUpScan() {
  scan_ = std::make_unique<ScanControl>(
      session_, rows_,
      ScanControlHost{[this](std::string_view text) { StatusLine(text); },
                      [this] { return ReadLastAdapter(store_); },
                      [this](const RelationEntry& initial) {
                        // The same checks and limit as Add Relation.
                        relationCommands_->NewRelation(initial);
                        UpdateButtons();
                      },
                      store_, this});
  BuildViewMenu();
}

void MainWindow::BuildViewMenu() {
  auto* menu = new QMenu(menuBar_);
  menu->setTitle(ToQString(scan_text::kMenuView));
  SetControlId(menu, ids::kViewMenu);
  QAction* scan = menu->addAction(ToQString(scan_text::kMenuScan));
  SetControlId(scan, ids::kScan);
  scan->setShortcut(QKeySequence(Qt::Key_F5));
  QAction* repeat = menu->addAction(ToQString(scan_text::kMenuScanRepeat));
  SetControlId(repeat, ids::kScanRepeat);
  repeat->setCheckable(true);
  repeat->setChecked(scan_->Repeat());
  connect(scan_.get(), &ScanControl::RepeatChanged, repeat, &QAction::setChecked);
  menu->addSeparator();
  QAction* devices = menu->addAction(ToQString(scan_text::kMenuDevices));
  SetControlId(devices, ids::kDevicesWindow);
  for (QAction* action : {scan, repeat, devices}) {
    const int id = ControlIdOf(action);
    // A checkable item has already changed its check when it triggers.
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
  }
  // Before the Help menu, the last one.
  const QList<QAction*> menus = menuBar_->actions();
  menuBar_->insertMenu(menus.isEmpty() ? nullptr : menus.back(), menu);
}

bool MainWindow::OnScanCommand(int id) {
  switch (id) {
    case ids::kScan:
      scan_->Scan();
      return true;
    case ids::kScanRepeat:
      // The menu item shows the option; the command turns it over.
      scan_->SetRepeat(!scan_->Repeat());
      return true;
    case ids::kDevicesWindow:
      scan_->ShowDevices();
      return true;
    default:
      return false;
  }
}

void MainWindow::ForgetScannedDevices() { scan_->Forget(); }

}  // namespace corvessa
