// Virtual table model over a report list's compact storage: Qt asks for the
// cells it paints, nothing is copied. Sorting happens inside the list; the
// model only learns that the rows changed.
#pragma once

#include <QAbstractTableModel>
#include <QPixmap>
#include <vector>

#include "ui/controls.h"

namespace ui::qt {

class ReportModel : public QAbstractTableModel {
 public:
  ReportModel(ReportList& list, QObject* parent);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // User-interface thread: brings the model up to the list's state.
  void Sync(std::uint32_t changes);

 private:
  ReportList& list_;
  int rows_ = 0;  // rows the view knows of
  std::vector<ReportColumn> columns_;
  std::vector<QPixmap> images_;
};

}  // namespace ui::qt
