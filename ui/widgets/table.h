#pragma once
// The list view of both lists of the main window: a report-mode list with a
// bold font, full-row selection, columns fitted to their header texts and a
// selection that stays visible without the focus. A table view without grid
// or row headers rather than a tree view: a tree view lays out every row
// again on each insertion, which a history of 100,000 rows cannot afford. The rows come from a
// ColumnsModel: by default the table's own RowTableModel, or another model
// (the history) set with SetModel.

#include <string>
#include <string_view>
#include <vector>

#include <QPoint>
#include <QTableView>

#include "ui/widgets/columns_model.h"
#include "ui/widgets/row_table_model.h"

namespace corvessa {

class Table : public QTableView {
  Q_OBJECT

 public:
  explicit Table(QWidget* parent = nullptr);

  // Prepares an empty list with these columns: bold font, full-row selection,
  // left-aligned columns whose widths fit their header texts, the last one
  // filling the rest of the width.
  void SetupColumns(const std::vector<std::string>& headers);
  // Widens a column, never narrows it, so that a cell holding `text` shows it
  // whole: a header that fits its own text may be narrower than the values in
  // the list's bold font.
  void WidenColumnFor(int column, std::string_view text);

  // The model shown; not owned unless it is the table's own. nullptr returns
  // to the table's own rows.
  void SetModel(ColumnsModel* model);
  ColumnsModel* Model() const { return model_; }
  // The table's own rows (the relation list's).
  RowTableModel* Rows() const { return rows_; }
  int RowCount() const;
  // The text the shown model gives the cell; empty for a cell that does not exist.
  std::string CellText(int row, int column) const;

  // Several rows (relation list) or one at a time (history).
  void SetMultiSelection(bool multi);
  // Whether header clicks are reported; without them the headers are no buttons.
  void SetHeaderClickable(bool clickable);

  // Selected rows, top to bottom.
  std::vector<int> SelectedRows() const;
  int SelectedCount() const;
  int FirstSelectedRow() const;  // -1 when none
  bool IsRowSelected(int row) const;
  // Selects `row` and makes it current; `add` keeps the other selected rows
  // (ignored in single selection).
  bool SelectRow(int row, bool add);
  void ClearSelectionOfRows();

  int TopVisibleRow() const;  // -1 for an empty list
  // Rows that fit completely in the visible area.
  int RowsThatFit() const;
  // Scrolls until the whole row is visible; a partly visible row is scrolled too.
  void EnsureRowFullyVisible(int row);

  // Name given by the caption beside the list ("Discovery History", ...).
  void SetAccessibleCaption(const QString& caption);

 signals:
  void ColumnClicked(int column);
  void DoubleClicked(int row);  // -1 on the empty part of the list
  void Clicked(int row);        // left button; -1 on the empty part
  void RightClicked(int row, QPoint globalPosition);
  void DeleteKeyPressed();
  void FocusEntered();
  void FocusLeft();
  void RowsInserted();
  // Selection changes and changes of row texts.
  void ItemChanged();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;

 private:
  void ConnectModel();
  void FitColumnsToHeaders();
  void FitRowHeight();
  int RowAt(const QPoint& viewportPosition) const;

  RowTableModel* rows_;
  ColumnsModel* model_ = nullptr;
  std::vector<QMetaObject::Connection> modelConnections_;
};

}  // namespace corvessa
