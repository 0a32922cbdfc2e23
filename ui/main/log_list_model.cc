#include "ui/main/log_list_model.h"

#include <climits>

namespace tallyrun::ui {

int LogListModel::Rows() const {
  return entries_.size() > INT_MAX ? INT_MAX : static_cast<int>(entries_.size());
}

int LogListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Rows();
}

QModelIndex LogListModel::index(int row, int column, const QModelIndex& parent) const {
  if (parent.isValid() || column != 0 || row < 0 || row >= Rows()) return {};
  return createIndex(row, 0);
}

QVariant LogListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Rows()) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:  // long paths are cut at the list's edge
    case Qt::AccessibleTextRole: {
      const std::string_view entry = Entry(index.row());
      return QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
    }
    default:
      return {};
  }
}

void LogListModel::Clear() {
  if (entries_.empty()) return;
  beginResetModel();
  entries_.Clear();
  endResetModel();
}

void LogListModel::Replace(LogEntries entries) {
  beginResetModel();
  entries_ = std::move(entries);
  endResetModel();
}

void LogListModel::AddNewest(const LogEntries& added) {
  if (added.empty()) return;
  beginInsertRows(QModelIndex(), 0, static_cast<int>(added.size()) - 1);
  for (std::size_t i = added.size(); i-- > 0;) entries_.AddNewest(added[i]);
  endInsertRows();
}

}  // namespace tallyrun::ui
