#pragma once
// The Discovery History as the rows of a Table. The model reads the
// HistoryList in place and follows it as its observer, so that even a very
// long history costs one row lookup per visible cell, not one item per row.
// The list must outlive the model.

#include "server/history.h"
#include "ui/widgets/columns_model.h"

namespace corvessa {

class HistoryModel : public ColumnsModel, private HistoryObserver {
  Q_OBJECT

 public:
  // Column order of the history list.
  enum Column { kMac = 0, kType, kTime, kCount, kIpAddress, kHostname, kColumnCount };

  explicit HistoryModel(HistoryList& list, QObject* parent = nullptr);
  ~HistoryModel() override;

  const HistoryList& List() const { return list_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  void RowsAboutToBeRemoved(int first, int last) override;
  void RowsRemoved() override;
  void RowAboutToBeInsertedAtTop() override;
  void RowInsertedAtTop() override;
  void RowChanged(int row) override;
  void ModelAboutToBeReset() override;
  void ModelReset() override;

  HistoryList& list_;
};

}  // namespace corvessa
