// The relation list view: rows built from the table, sorting, the counter and
// the buttons that follow the two lists.

#include <algorithm>
#include <vector>

#include <QPushButton>
#include <QLabel>

#include "app/command_ids.h"
#include "app/command_state.h"
#include "app/provan_dlg.h"
#include "relations/relation_order.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/table.h"

namespace corvessa {

bool CProvanDlg::AddRelationRow(Relation* relation, int row) {
  if (relation == nullptr) return false;
  RowTableModel* rows = relationList_->Rows();
  const int index = rows->InsertRow(row, RelationRowTexts(*relation));
  if (index < 0) return false;
  rows->SetItemData(index, relation);
  return true;
}

bool CProvanDlg::RefreshRelationList() {
  // Rows are taken from the last relation up, as if each were inserted at the
  // top, so a missing relation leaves only those below it; the view gets one
  // reset, which keeps a rebuild per served request cheap during a burst.
  std::vector<RowTableModel::RowContent> rows;
  rows.reserve(static_cast<std::size_t>(std::max(table_.Count(), 0)));
  bool failed = false;
  for (int i = table_.Count() - 1; i >= 0; --i) {
    Relation* relation = table_.At(i);
    if (relation == nullptr) {
      failed = true;
      break;
    }
    rows.push_back({RelationRowTexts(*relation), relation});
  }
  std::reverse(rows.begin(), rows.end());
  relationList_->Rows()->ReplaceAll(std::move(rows));
  if (failed) return true;
  if (sortColumn_ != -1) ApplySort();
  return false;
}

void CProvanDlg::ApplySort() {
  const std::uint32_t parameter = SortParameter(sortColumn_, sortAscending_);
  relationList_->Rows()->Sort([parameter](void* a, void* b) {
    if (a == nullptr || b == nullptr) return 0;
    return CompareRelations(*static_cast<const Relation*>(a), *static_cast<const Relation*>(b), parameter);
  });
}

void CProvanDlg::SortRelations(int column) {
  sortAscending_ = AscendingAfterClick(sortColumn_, sortAscending_, column);
  sortColumn_ = column;
  ApplySort();
}

void CProvanDlg::OnRelationColumnClick(int column) { SortRelations(column); }

void CProvanDlg::UpdateRelationCounter() {
  relationCounter_->setText(ToQString(FormatText(text::kRelationCounterFormat, table_.Count(), RelationCapacity)));
}

std::vector<Relation*> CProvanDlg::SelectedRelations() const {
  std::vector<Relation*> relations;
  for (const int row : relationList_->SelectedRows()) {
    if (auto* relation = static_cast<Relation*>(relationList_->Rows()->ItemData(row))) {
      relations.push_back(relation);
    }
  }
  return relations;
}

WindowState CProvanDlg::CurrentState() const {
  WindowState state;
  state.hasFileName = !currentFileName_.empty();
  state.modified = modified_;
  state.historyRows = historyList_->RowCount();
  state.selectedRelations = relationList_->SelectedCount();
  state.commissioning = CommissioningRunning();
  if (state.selectedRelations == 1) {
    state.singleSelected = static_cast<const Relation*>(relationList_->Rows()->ItemData(relationList_->FirstSelectedRow()));
  }
  return state;
}

void CProvanDlg::UpdateButtons() {
  const WindowState state = CurrentState();
  const std::pair<QPushButton*, int> buttons[] = {
      {addRelationButton_, ids::kAddRelationButton}, {clearHistoryButton_, ids::kClearHistoryButton},
      {deleteRelationButton_, ids::kDeleteRelationButton}, {enableButton_, ids::kEnableButton},
      {disableButton_, ids::kDisableButton}};
  for (const auto& [button, id] : buttons) {
    button->setVisible(IsButtonShown(id, state));
    button->setEnabled(IsButtonEnabled(id, state));
  }
}

int CProvanDlg::RelationListLastFullyVisibleRow() const {
  return relationList_->TopVisibleRow() + relationList_->RowsThatFit() - 1;
}

void CProvanDlg::EnsureRelationRowVisible(int row) { relationList_->EnsureRowFullyVisible(row); }

}  // namespace corvessa
