// The list's entries as the view sees them, read straight from the log's
// compact store: a log of millions of records costs no item per entry.
#pragma once

#include <QAbstractListModel>
#include <string_view>

#include "core/log_reader.h"

namespace tallyrun::ui {

class LogListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  // The view asks for every row's index when it lays out the list.
  QModelIndex index(int row, int column = 0,
                    const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // Row 0 is the newest entry.
  std::string_view Entry(int row) const { return entries_[static_cast<std::size_t>(row)]; }
  bool empty() const { return entries_.empty(); }

  void Clear();
  void Replace(LogEntries entries);
  // Entries of `added` go on top, keeping their order (its newest first).
  void AddNewest(const LogEntries& added);

 private:
  int Rows() const;

  LogEntries entries_;
};

}  // namespace tallyrun::ui
