// The relation list as the window shows it: its rows follow the session (see
// SessionRows), a header click sorts them, the counter counts the relations,
// and the buttons follow the selection of both lists.

#include <QLabel>
#include <QPushButton>

#include "app/command_ids.h"
#include "app/command_state.h"
#include "app/main_window.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/relation_model.h"
#include "ui/widgets/table.h"

namespace corvessa {

void MainWindow::RefreshRelationList() { rows_.Refresh(session_.Relations()); }

void MainWindow::SortRelations(int column) { rows_.SortBy(column); }

void MainWindow::OnRelationColumnClick(int column) { SortRelations(column); }

void MainWindow::UpdateRelationCounter() {
  if (relationCounter_ == nullptr) return;
  relationCounter_->setText(
      ToQString(FormatText(text::kRelationCounterFormat, session_.Relations().Count(), RelationCapacity)));
}

std::vector<Relation*> MainWindow::SelectedRelations() const {
  return relationModel_->RelationsOf(relationList_->SelectedRows());
}

WindowState MainWindow::CurrentState() const {
  WindowState state;
  state.hasFileName = !session_.CurrentFileName().empty();
  state.modified = session_.Modified();
  state.historyRows = historyList_->RowCount();
  state.selectedRelations = relationList_->SelectedCount();
  if (state.selectedRelations == 1) state.singleSelected = rows_.At(relationList_->FirstSelectedRow());
  state.commissioning = CommissioningRunning();
  state.selectedInConflict = SelectedInConflict();
  return state;
}

void MainWindow::UpdateButtons() {
  const WindowState state = CurrentState();
  const std::pair<QPushButton*, int> buttons[] = {
      {addRelationButton_, ids::kAddRelationButton}, {clearHistoryButton_, ids::kClearHistoryButton},
      {deleteRelationButton_, ids::kDeleteRelationButton}, {enableButton_, ids::kEnableButton},
      {disableButton_, ids::kDisableButton}};
  for (const auto& [button, id] : buttons) {
    const bool shown = IsButtonShown(id, state);
    button->setVisible(shown);
    button->setEnabled(IsButtonEnabled(id, state));
  }
}

int MainWindow::RelationListLastFullyVisibleRow() const {
  return relationList_->TopVisibleRow() + relationList_->RowsThatFit() - 1;
}

void MainWindow::EnsureRelationRowVisible(int row) { relationList_->EnsureRowFullyVisible(row); }

// --- The relation commands, on the selections of the two lists ---

void MainWindow::OnAddRelation() {
  // The selected request, if any, gives the hardware address.
  std::string requestMac;
  const int row = historyList_->FirstSelectedRow();
  if (row >= 0 && historyList_->Model() != nullptr) {
    const ColumnsModel& requests = *historyList_->Model();
    requestMac = ToStdString(requests.data(requests.index(row, 0)).toString());
  }
  relationCommands_->OnAddRelation(requestMac);
  UpdateButtons();
}

bool MainWindow::OnProperties() {
  if (relationList_->SelectedCount() == 0) return false;
  const int row = relationList_->FirstSelectedRow();
  return relationCommands_->OnProperties(rows_.At(row), row);
}

void MainWindow::OnDeleteRelation() {
  const std::vector<Relation*> selected = SelectedRelations();
  relationCommands_->OnDeleteRelation(selected);
  UpdateButtons();
}

void MainWindow::OnHistoryDoubleClick() { OnAddRelation(); }

void MainWindow::OnRelationListDoubleClick() {
  // A double-click on the empty part of the list adds a relation instead.
  if (relationList_->SelectedCount() > 0) {
    OnCommand(ids::kProperties);
  } else {
    OnAddRelation();
  }
  UpdateButtons();
}

}  // namespace corvessa
