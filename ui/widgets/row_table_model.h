#pragma once
// Rows of column texts with one opaque pointer per row, in the manner of a
// report-mode list view: the relation list keeps the Relation* of each row
// there. The model never owns or reads what the pointer points to.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/widgets/columns_model.h"

namespace corvessa {

class RowTableModel : public ColumnsModel {
  Q_OBJECT

 public:
  explicit RowTableModel(QObject* parent = nullptr) : ColumnsModel(parent) {}

  int RowCount() const { return static_cast<int>(rows_.size()); }

  // Inserts before `index` (past the end appends). Missing texts are empty;
  // texts beyond the columns are dropped. Returns the row's index, or -1 for a
  // negative index.
  int InsertRow(int index, const std::vector<std::string>& texts);
  bool SetCellText(int row, int column, std::string_view text);
  // Empty for a row or column that does not exist.
  std::string CellText(int row, int column) const;

  void* ItemData(int row) const;  // nullptr for a row that does not exist
  bool SetItemData(int row, void* data);

  bool DeleteRow(int row);
  bool DeleteAll();

  // One row's texts and item data, for ReplaceAll.
  struct RowContent {
    std::vector<std::string> texts;
    void* data = nullptr;
  };
  // Replaces every row at once: the same rows as DeleteAll and one InsertRow
  // and SetItemData each, but the view is told once, not once per row.
  void ReplaceAll(std::vector<RowContent> rows);

  // First row, from the top, whose column 0 begins with `prefix`, ASCII letters
  // compared without case; -1 when none does. An empty prefix matches the top row.
  int FindPrefix(std::string_view prefix) const;

  // Stable sort of the rows by the item data: `compare(a, b)` < 0 puts a
  // before b, 0 keeps their order. It must order consistently. Selection and
  // current row follow their rows.
  void Sort(const std::function<int(void* a, void* b)>& compare);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 protected:
  void ColumnsChanged() override;

 private:
  struct Row {
    std::vector<std::string> texts;
    void* data = nullptr;
  };
  bool HasRow(int row) const { return row >= 0 && row < RowCount(); }

  std::vector<Row> rows_;
};

}  // namespace corvessa
