// The list's entries as the view sees them, read straight from the log's
// compact store: a log of millions of records costs no item per entry.
#pragma once

#include <QAbstractListModel>
#include <string>
#include <string_view>
#include <vector>

#include "core/log_reader.h"

namespace tallyrun::ui {

class LogListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // Row 0 is the newest entry.
  std::string_view Entry(int row) const { return entries_[static_cast<std::size_t>(row)]; }
  bool empty() const { return entries_.empty(); }

  void Clear();
  void Replace(LogEntries entries);
  // Each entry goes on top in turn, so the last one ends first.
  void AddNewest(const std::vector<std::string>& entries);

 private:
  LogEntries entries_;
};

}  // namespace tallyrun::ui
