// EtherNet/IP commissioning commands: Enable and Disable BOOTP/DHCP on the
// selected devices, from the menus (with the wait cursor) and the buttons.

#include <QApplication>

#include <span>
#include <string_view>
#include <vector>

#include "app/provan_dlg.h"
#include "enip/commissioning.h"
#include "ui/widgets/busy_cursor.h"
#include "ui/widgets/table.h"

namespace corvessa {

namespace {

// The flows' own wait cursor: one entry of the application's override-cursor
// stack per Begin, so it nests inside the menu command's. An End without its
// Begin is ignored rather than taking away the command's cursor, and a flow
// that left one open cannot leave the wait cursor up for good.
class OverrideCursorBusy final : public BusyIndicator {
 public:
  OverrideCursorBusy() = default;
  OverrideCursorBusy(const OverrideCursorBusy&) = delete;
  OverrideCursorBusy& operator=(const OverrideCursorBusy&) = delete;
  ~OverrideCursorBusy() override {
    for (; depth_ > 0; --depth_) QApplication::restoreOverrideCursor();
  }

  void Begin() override {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++depth_;
  }
  void End() override {
    if (depth_ == 0) return;
    --depth_;
    QApplication::restoreOverrideCursor();
  }

 private:
  int depth_ = 0;
};

// The relations of the selected rows, top to bottom. A row without one stays
// in as nullptr: the flows report it on the status line instead of skipping
// the row silently.
std::vector<const Relation*> SelectedRowRelations(const Table& list) {
  std::vector<const Relation*> relations;
  for (const int row : list.SelectedRows()) {
    relations.push_back(static_cast<const Relation*>(list.Rows()->ItemData(row)));
  }
  return relations;
}

using CommandBody = void (*)(std::span<const Relation* const>, const EnipContext&);

// Runs a command body over the selection with the window's status line,
// message boxes and wait cursor. False when nothing was selected: the body
// has then shown the "Select An Address" box and sent nothing.
bool RunOnSelection(CProvanDlg& window, const Table& list, CommandBody body) {
  const std::vector<const Relation*> selected = SelectedRowRelations(list);
  OverrideCursorBusy busy;
  EnipContext context = window.EnipSettings();
  context.status = [&window](std::string_view text) { window.StatusLine(text); };
  context.prompts = &window.MessageBoxes();
  context.busy = &busy;
  body(selected, context);
  return !selected.empty();
}

}  // namespace

bool CProvanDlg::EnableBootpDhcp() {
  return RunOnSelection(*this, *relationList_, &corvessa::EnableBootpDhcp);
}

bool CProvanDlg::DisableBootpDhcp() {
  return RunOnSelection(*this, *relationList_, &corvessa::DisableBootpDhcp);
}

void CProvanDlg::OnEnableBootpDhcp() {
  const BusyCursor busy;
  EnableBootpDhcp();
}

void CProvanDlg::OnDisableBootpDhcp() {
  const BusyCursor busy;
  DisableBootpDhcp();
}

void CProvanDlg::OnButtonEnable() {
  EnableBootpDhcp();
  relationList_->setFocus();
}

void CProvanDlg::OnButtonDisable() {
  DisableBootpDhcp();
  relationList_->setFocus();
}

}  // namespace corvessa
