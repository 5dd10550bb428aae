#include "ui/result_table.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>

namespace vellum::ui {

ResultTable::ResultTable(ResultTableModel& model, QWidget* parent)
    : QTableView(parent), model_(model) {
  setModel(&model_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(false);
  setWordWrap(false);
  setSortingEnabled(false);  // sorting is the list's own, on heading clicks
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  // Equal, fixed row heights keep a million rows as cheap as a hundred.
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  setIconSize(QSize(16, 16));

  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &ResultTable::OnColumnClick);
  connect(&model_, &ResultTableModel::columnsChanged, this, &ResultTable::ApplyColumnWidths);
  connect(&model_, &ResultTableModel::listSelectionChanged, this,
          &ResultTable::SyncSelectionFromList);
  ApplyColumnWidths();
}

void ResultTable::OnColumnClick(int column) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  SyncSelectionToList();
  model_.SortByColumn(column);
  SyncSelectionFromList();
  QGuiApplication::restoreOverrideCursor();
}

void ResultTable::keyPressEvent(QKeyEvent* event) {
  const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
  const int key = event->key() == Qt::Key_A ? 'A' : event->key();
  if (ctrl && key == 'A') {
    model_.FlushRows();
    model_.List().OnListKeyDown(key, ctrl);
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

void ResultTable::ApplyColumnWidths() {
  const app::ResultList& list = model_.List();
  for (size_t i = 0; i < list.ColumnCount(); ++i)
    horizontalHeader()->resizeSection(static_cast<int>(i), list.ColumnAt(i).width);
}

void ResultTable::SyncSelectionToList() {
  if (syncing_) return;
  syncing_ = true;
  app::ResultList& list = model_.List();
  list.ClearSelection();
  for (const QItemSelectionRange& range : selectionModel()->selection())
    for (int row = range.top(); row <= range.bottom(); ++row)
      list.SetSelected(static_cast<size_t>(row), true);
  syncing_ = false;
}

// Runs of selected rows become one range each, so selecting everything is a
// single range however long the list.
void ResultTable::SyncSelectionFromList() {
  if (syncing_) return;
  syncing_ = true;
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
  selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  syncing_ = false;
}

}  // namespace vellum::ui
