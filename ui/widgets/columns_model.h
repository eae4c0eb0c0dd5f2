#pragma once
// Base of the models behind a Table: the column headers, left-aligned. The
// rows are the business of the derived model.

#include <string>
#include <vector>

#include <QAbstractTableModel>

namespace corvessa {

class ColumnsModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit ColumnsModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  // Replaces the columns. Meant for an empty list; the rows keep their texts
  // for the columns that remain.
  void SetHeaders(std::vector<std::string> headers);
  const std::vector<std::string>& Headers() const { return headers_; }
  int ColumnCount() const { return static_cast<int>(headers_.size()); }

  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 protected:
  // Called inside the model reset of SetHeaders, for models that size their rows.
  virtual void ColumnsChanged() {}
  static constexpr Qt::Alignment kCellAlignment = Qt::AlignLeft | Qt::AlignVCenter;

 private:
  std::vector<std::string> headers_;
};

}  // namespace corvessa
