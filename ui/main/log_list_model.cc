#include "ui/main/log_list_model.h"

#include <climits>

namespace tallyrun::ui {

int LogListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return entries_.size() > INT_MAX ? INT_MAX : static_cast<int>(entries_.size());
}

QVariant LogListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
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

void LogListModel::AddNewest(const std::vector<std::string>& entries) {
  if (entries.empty()) return;
  beginInsertRows(QModelIndex(), 0, static_cast<int>(entries.size()) - 1);
  for (const std::string& entry : entries) entries_.AddNewest(entry);
  endInsertRows();
}

}  // namespace tallyrun::ui
