// The view's selection model over the result list. The list owns the
// selection (the restore and every other command read it there); this model
// only shows it. Whatever the user does to the view (a click, Shift or Ctrl
// with a click, a rubber band, the arrow keys, Ctrl+Space) arrives at
// select(), which writes the outcome into the list before it returns; a change
// the list makes itself (select-all, sorting, clearing) is shown from the list.
// So the highlighted rows and the list's selected rows are the same at every
// moment, whichever side the change came from.
#pragma once

#include <QItemSelectionModel>

#include "app/result_list.h"

namespace vellum::ui {

class ResultTableModel;

class ListSelectionModel : public QItemSelectionModel {
  Q_OBJECT

 public:
  ListSelectionModel(ResultTableModel& model, QObject* parent);

  void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;
  void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override;
  void reset() override;

  // Shows the list's selection, as runs of selected rows.
  void ShowListSelection();

 private:
  void WriteToList();

  ResultTableModel& model_;
  bool showing_ = false;  // the view is being set from the list: nothing to write back
};

}  // namespace vellum::ui
