#include "ui/list_selection_model.h"

#include "ui/result_table_model.h"

namespace vellum::ui {

ListSelectionModel::ListSelectionModel(ResultTableModel& model, QObject* parent)
    : QItemSelectionModel(&model, parent), model_(model) {
  connect(&model_, &ResultTableModel::listSelectionChanged, this, &ListSelectionModel::ShowListSelection);
  // The base class empties itself when the model is reset (a sort, a load);
  // this runs after it and shows the rows the list kept selected.
  connect(&model_, &QAbstractItemModel::modelReset, this, &ListSelectionModel::ShowListSelection);
}

void ListSelectionModel::select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) {
  select(QItemSelection(index, index), command);
}

void ListSelectionModel::select(const QItemSelection& selection,
                                QItemSelectionModel::SelectionFlags command) {
  QItemSelectionModel::select(selection, command);
  if (!showing_) WriteToList();
}

// A model reset leaves the list's rows and selection as they are (a sort
// moves the selection with its rows); only the view forgets.
void ListSelectionModel::reset() {
  const bool wasShowing = showing_;
  showing_ = true;
  QItemSelectionModel::reset();
  showing_ = wasShowing;
}

void ListSelectionModel::WriteToList() {
  std::vector<std::pair<size_t, size_t>> runs;
  for (const QItemSelectionRange& range : QItemSelectionModel::selection())
    if (range.isValid() && range.top() >= 0)
      runs.emplace_back(static_cast<size_t>(range.top()), static_cast<size_t>(range.bottom()) + 1);
  showing_ = true;  // the list's notice of its own change is already on screen
  model_.List().SelectRuns(runs);
  showing_ = false;
}

void ListSelectionModel::ShowListSelection() {
  if (showing_) return;
  showing_ = true;
  model_.FlushRows();
  const app::ResultList& list = model_.List();
  const int rows = model_.rowCount();
  const int lastColumn = model_.columnCount() - 1;
  QItemSelection selection;
  for (int row = 0; row < rows && lastColumn >= 0;) {
    if (!list.IsSelected(static_cast<size_t>(row))) {
      ++row;
      continue;
    }
    const int first = row;
    while (row < rows && list.IsSelected(static_cast<size_t>(row))) ++row;
    selection.select(model_.index(first, 0), model_.index(row - 1, lastColumn));
  }
  QItemSelectionModel::select(selection, QItemSelectionModel::ClearAndSelect);
  showing_ = false;
}

}  // namespace vellum::ui
