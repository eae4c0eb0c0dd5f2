#pragma once
// The relation list as the rows of a Table. The model reads the RelationRows
// in place and follows them as their observer: a served request repaints its
// row, a new order moves the rows it moved, and the selection, which a view
// keeps on the model's rows, survives both. The rows must outlive the model.

#include <vector>

#include "relations/relation_rows.h"
#include "ui/widgets/columns_model.h"

namespace corvessa {

class RelationModel : public ColumnsModel, private RelationRowsObserver {
  Q_OBJECT

 public:
  explicit RelationModel(RelationRows& rows, QObject* parent = nullptr);
  ~RelationModel() override;

  const RelationRows& Rows() const { return rows_; }
  // The relations of these rows, in the order given; rows that do not exist
  // are left out.
  std::vector<Relation*> RelationsOf(const std::vector<int>& rows) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  void RowsAboutToBeInserted(int first, int last) override;
  void RowsInserted() override;
  void RowsAboutToBeRemoved(int first, int last) override;
  void RowsRemoved() override;
  void LayoutAboutToBeChanged() override;
  void LayoutChanged(const std::vector<int>& newRowOfOldRow) override;
  void RowsChanged(int first, int last) override;
  void ModelAboutToBeReset() override;
  void ModelReset() override;

  RelationRows& rows_;
};

}  // namespace corvessa
