#include "ui/qt/report_model.h"

#include <QApplication>
#include <QImage>
#include <QPalette>

#include "ui/app.h"

namespace ui::qt {

ReportModel::ReportModel(ReportList& list, QObject* parent) : QAbstractTableModel(parent), list_(list) {
  Sync(kChangeColumns | kChangeRows | kChangeLook);
}

int ReportModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int ReportModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ReportModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int row = index.row();
  const int col = index.column();
  switch (role) {
    case Qt::DisplayRole: {
      QString text;
      // Rows may have gone since the view last heard; a refresh is on its way.
      list_.WithStore([&](const ReportStore& s) {
        std::string_view v = s.Text(row, col);
        text = QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
      });
      return text;
    }
    case Qt::TextAlignmentRole: {
      if (col >= static_cast<int>(columns_.size())) return {};
      Align a = columns_[static_cast<std::size_t>(col)].align;
      Qt::Alignment h = a == Align::Right ? Qt::AlignRight : a == Align::Center ? Qt::AlignHCenter : Qt::AlignLeft;
      return QVariant::fromValue(h | Qt::AlignVCenter);
    }
    case Qt::DecorationRole: {
      if (col != 0 || images_.empty()) return {};
      int image = -1;
      list_.WithStore([&](const ReportStore& s) { image = s.Image(row); });
      if (image < 0 || image >= static_cast<int>(images_.size())) return {};
      return images_[static_cast<std::size_t>(image)];
    }
    case Qt::BackgroundRole:
    case Qt::ForegroundRole: {
      bool selected = false;
      list_.WithStore([&](const ReportStore& s) { selected = s.Selected(row); });
      if (!selected) return {};
      const QPalette pal = QApplication::palette();
      return role == Qt::BackgroundRole ? pal.brush(QPalette::Highlight) : pal.brush(QPalette::HighlightedText);
    }
    default:
      return {};
  }
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= static_cast<int>(columns_.size())) return {};
  if (role == Qt::DisplayRole) return QString::fromStdString(columns_[static_cast<std::size_t>(section)].header);
  if (role == Qt::TextAlignmentRole) {
    Align a = columns_[static_cast<std::size_t>(section)].align;
    return QVariant::fromValue(a == Align::Right ? Qt::AlignRight : a == Align::Center ? Qt::AlignHCenter : Qt::AlignLeft);
  }
  return {};
}

void ReportModel::Sync(std::uint32_t changes) {
  if (changes & kChangeLook) {
    ImageList list = list_.Images();
    images_.clear();
    for (const auto& px : list.images) {
      QImage img(reinterpret_cast<const uchar*>(px.data()), list.width, list.height, list.width * 4,
                 QImage::Format_ARGB32);
      images_.push_back(QPixmap::fromImage(img.copy()));
    }
  }
  if (changes & kChangeColumns) {
    std::vector<ReportColumn> cols;
    for (int i = 0, n = list_.ColumnCount(); i < n; ++i) cols.push_back(list_.Column(i));
    bool same_count = cols.size() == columns_.size();
    if (!same_count) {
      beginResetModel();
      columns_ = std::move(cols);
      rows_ = list_.TakeRowChanges().row_count;
      endResetModel();
      return;
    }
    columns_ = std::move(cols);
    emit headerDataChanged(Qt::Horizontal, 0, static_cast<int>(columns_.size()) - 1);
  }
  if (changes & (kChangeRows | kChangeSelection)) {
    ReportList::RowChanges c = list_.TakeRowChanges();
    if (c.reset || (c.appended_from >= 0 && c.appended_from != rows_) || c.row_count < rows_) {
      beginResetModel();
      rows_ = c.row_count;
      endResetModel();
      return;
    }
    if (c.row_count > rows_) {
      beginInsertRows({}, rows_, c.row_count - 1);
      rows_ = c.row_count;
      endInsertRows();
    }
    if ((c.data_changed || (changes & kChangeSelection)) && rows_ > 0 && !columns_.empty()) {
      emit dataChanged(index(0, 0), index(rows_ - 1, static_cast<int>(columns_.size()) - 1));
    }
  }
}

}  // namespace ui::qt
