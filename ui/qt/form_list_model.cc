#include "ui/qt/form_list_model.h"

#include <algorithm>
#include <climits>

namespace tallyrun::ui::qt {

int FormListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

QModelIndex FormListModel::index(int row, int column, const QModelIndex& parent) const {
  if (parent.isValid() || column != 0 || row < 0 || row >= rows_) return {};
  return createIndex(row, 0);
}

QVariant FormListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:  // long paths are cut at the list's edge
    case Qt::AccessibleTextRole: {
      const std::string text = form_.ListRow(control_, static_cast<std::size_t>(index.row())).text;
      return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    default:
      return {};
  }
}

void FormListModel::Changed(std::size_t added) {
  const int rows = static_cast<int>(std::min<std::size_t>(form_.ListCount(control_), INT_MAX));
  if (added == 0 || rows <= rows_) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
    return;
  }
  beginInsertRows(QModelIndex(), 0, rows - rows_ - 1);
  rows_ = rows;
  endInsertRows();
}

}  // namespace tallyrun::ui::qt
