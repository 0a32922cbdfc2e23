#include "ui/main/log_list_model.h"

#include <climits>

#include "core/date_time_text.h"
#include "core/visible_text.h"
#include "ui/common/look.h"

namespace tallyrun::ui {
namespace {

// The moment, "|" and the longest path the system accepts. Only a damaged log
// holds more, and laying out megabytes of text would stall every repaint.
constexpr std::size_t kLongestShownEntry = kLongestDateTimeText + 1 + 4096;

QString ShownEntry(std::string_view entry) {
  const bool cut = entry.size() > kLongestShownEntry;
  if (cut) {
    // Cut where a character begins, never inside one.
    std::size_t end = kLongestShownEntry;
    while (end > 0 && (static_cast<unsigned char>(entry[end]) & 0xC0) == 0x80) --end;
    entry = entry.substr(0, end);
  }
  const std::string visible = VisibleText(entry, ControlStyle::kPictures);
  QString shown = QString::fromUtf8(visible.data(), static_cast<qsizetype>(visible.size()));
  if (cut) shown += QChar(0x2026);
  return shown;
}

}  // namespace

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
    case Qt::AccessibleTextRole:
      return ShownEntry(Entry(index.row()));
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
