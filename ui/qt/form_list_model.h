// A form's long list as the view sees it: rows asked of the form as they are
// drawn, so a log of millions of records costs no item per entry.
#pragma once

#include <QAbstractListModel>

#include "ui/common/form.h"

namespace tallyrun::ui::qt {

class FormListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  FormListModel(const Form& form, int control, QObject* parent)
      : QAbstractListModel(parent), form_(form), control_(control) {}

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  // The view asks for every row's index when it lays out the list.
  QModelIndex index(int row, int column = 0,
                    const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // The form's rows are new, or `added` rows went on top.
  void Changed(std::size_t added);

 private:
  const Form& form_;
  const int control_;
  int rows_ = 0;
};

}  // namespace tallyrun::ui::qt
