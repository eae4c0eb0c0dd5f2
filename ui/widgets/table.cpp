#include "ui/widgets/table.h"

#include <algorithm>

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionViewItem>

#include "ui/widgets/qt_text.h"

namespace corvessa {

Table::Table(QWidget* parent) : QTableView(parent), rows_(new RowTableModel(this)) {
  // A report list: no grid, no row headers, rows of one height, no in-place
  // editing and no sorting of Qt's own (the window sorts through its compare
  // callback).
  setShowGrid(false);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  // Tab leaves the list for the next control instead of walking its cells.
  setTabKeyNavigation(false);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setSortIndicatorShown(false);
  horizontalHeader()->setSectionsMovable(false);
  horizontalHeader()->setStretchLastSection(true);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  SetMultiSelection(false);
  SetHeaderClickable(false);

  // The selection stays visible while another control has the focus.
  QPalette keep = palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    keep.setColor(QPalette::Inactive, role, keep.color(QPalette::Active, role));
  }
  setPalette(keep);

  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &Table::ColumnClicked);
  SetModel(nullptr);
  FitRowHeight();
}

void Table::SetupColumns(const std::vector<std::string>& headers) {
  QFont bold = font();
  bold.setWeight(QFont::Bold);
  setFont(bold);
  horizontalHeader()->setFont(bold);
  model_->SetHeaders(headers);
  FitColumnsToHeaders();
  FitRowHeight();
}

void Table::FitRowHeight() {
  // One line of the list's font with a small margin, as a report list has.
  constexpr int kRowMargin = 6;
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + kRowMargin);
}

void Table::FitColumnsToHeaders() {
  // The header's own size hint measures the text with its trailing blanks,
  // which are there to widen a column. The last section stretches over the rest.
  QHeaderView* head = horizontalHeader();
  for (int i = 0; i < head->count(); ++i) head->resizeSection(i, head->sectionSizeHint(i));
}

void Table::WidenColumnFor(int column, std::string_view text) {
  QHeaderView* head = horizontalHeader();
  if (column < 0 || column >= head->count()) return;
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.features |= QStyleOptionViewItem::HasDisplay;
  option.text = ToQString(text);
  // The cell is the section less the grid line, when there is one.
  const int needed =
      style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).width() + (showGrid() ? 1 : 0);
  if (head->sectionSize(column) < needed) head->resizeSection(column, needed);
}

void Table::SetModel(ColumnsModel* model) {
  for (const QMetaObject::Connection& c : modelConnections_) disconnect(c);
  modelConnections_.clear();
  model_ = model != nullptr ? model : rows_;
  setModel(model_);
  ConnectModel();
}

void Table::ConnectModel() {
  modelConnections_.push_back(connect(model_, &QAbstractItemModel::rowsInserted, this,
                                      [this](const QModelIndex&, int, int) { emit RowsInserted(); }));
  modelConnections_.push_back(connect(model_, &QAbstractItemModel::dataChanged, this,
                                      [this] { emit ItemChanged(); }));
  modelConnections_.push_back(connect(selectionModel(), &QItemSelectionModel::selectionChanged,
                                      this, [this] { emit ItemChanged(); }));
}

int Table::RowCount() const { return model_->rowCount(); }

std::string Table::CellText(int row, int column) const {
  if (model_ == nullptr) return {};
  return ToStdString(model_->data(model_->index(row, column)).toString());
}

void Table::SetMultiSelection(bool multi) {
  setSelectionMode(multi ? QAbstractItemView::ExtendedSelection
                         : QAbstractItemView::SingleSelection);
}

void Table::SetHeaderClickable(bool clickable) {
  horizontalHeader()->setSectionsClickable(clickable);
}

std::vector<int> Table::SelectedRows() const {
  std::vector<int> rows;
  const QModelIndexList selected = selectionModel()->selectedRows();
  rows.reserve(static_cast<std::size_t>(selected.size()));
  for (const QModelIndex& index : selected) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

int Table::SelectedCount() const { return static_cast<int>(selectionModel()->selectedRows().size()); }

int Table::FirstSelectedRow() const {
  const std::vector<int> rows = SelectedRows();
  return rows.empty() ? -1 : rows.front();
}

bool Table::IsRowSelected(int row) const {
  return row >= 0 && row < RowCount() && selectionModel()->isRowSelected(row, QModelIndex());
}

bool Table::SelectRow(int row, bool add) {
  if (row < 0 || row >= RowCount()) return false;
  const QModelIndex index = model_->index(row, 0);
  if (add && selectionMode() != QAbstractItemView::SingleSelection) {
    selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  } else {
    selectionModel()->setCurrentIndex(index,
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  return true;
}

void Table::ClearSelectionOfRows() { selectionModel()->clearSelection(); }

int Table::TopVisibleRow() const {
  // An empty list answers 0, as the top of nothing.
  return std::max(0, rowAt(0));
}

int Table::RowsThatFit() const {
  const int rowPixels = std::max(1, verticalHeader()->defaultSectionSize());
  return viewport()->height() / rowPixels;
}

void Table::EnsureRowFullyVisible(int row) {
  if (row < 0 || row >= RowCount()) return;
  scrollTo(model_->index(row, 0), QAbstractItemView::EnsureVisible);
}

void Table::SetAccessibleCaption(const QString& caption) { setAccessibleName(caption); }

int Table::RowAt(const QPoint& viewportPosition) const {
  const QModelIndex index = indexAt(viewportPosition);
  return index.isValid() ? index.row() : -1;
}

void Table::mousePressEvent(QMouseEvent* event) {
  // A click on the empty part of the list drops the selection, in either mode.
  if (event->button() == Qt::LeftButton && RowAt(event->position().toPoint()) < 0) {
    selectionModel()->clearSelection();
  }
  QTableView::mousePressEvent(event);
}

void Table::mouseReleaseEvent(QMouseEvent* event) {
  QTableView::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) emit Clicked(RowAt(event->position().toPoint()));
}

void Table::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableView::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) emit DoubleClicked(RowAt(event->position().toPoint()));
}

void Table::contextMenuEvent(QContextMenuEvent* event) {
  emit RightClicked(RowAt(event->pos()), event->globalPos());
  event->accept();
}

void Table::keyPressEvent(QKeyEvent* event) {
  // Any Delete key, keypad and modifiers included: the list reports the key, not
  // the chord.
  if (event->key() == Qt::Key_Delete) {
    emit DeleteKeyPressed();
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

void Table::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
  // In single selection Qt would select the row after a removed current row.
  // Here a selected history request that is replaced by a newer one must not
  // hand its selection to another device, which Add Relation would then take.
  const QModelIndex current = currentIndex();
  if (current.isValid() && current.row() >= start && current.row() <= end) {
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  }
  QTableView::rowsAboutToBeRemoved(parent, start, end);
}

void Table::focusInEvent(QFocusEvent* event) {
  QTableView::focusInEvent(event);
  emit FocusEntered();
}

void Table::focusOutEvent(QFocusEvent* event) {
  QTableView::focusOutEvent(event);
  emit FocusLeft();
}

}  // namespace corvessa
