#include "ui/result_table.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>

#include "ui/list_selection_model.h"

namespace vellum::ui {

ResultTable::ResultTable(ResultTableModel& model, QWidget* parent)
    : QTableView(parent), model_(model) {
  setModel(&model_);
  selection_ = new ListSelectionModel(model_, this);
  QItemSelectionModel* first = selectionModel();
  setSelectionModel(selection_);
  delete first;
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Tab leaves the list for the next control, as it leaves a list view; a
  // table would move between cells and change the selection on the way.
  setTabKeyNavigation(false);
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
  // New rows come in the order they were found: no column is sorted then.
  const auto unsorted = [this] { horizontalHeader()->setSortIndicatorShown(false); };
  connect(&model_, &ResultTableModel::clearing, this, unsorted);
  connect(&model_, &ResultTableModel::columnsChanged, this, unsorted);
  ApplyColumnWidths();
}

void ResultTable::OnColumnClick(int column) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  model_.SortByColumn(column);
  QGuiApplication::restoreOverrideCursor();
  // The list turns the direction round for the next click of the same column.
  const bool ascending = !model_.List().NextSortAscending();
  horizontalHeader()->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
  horizontalHeader()->setSortIndicatorShown(true);
}

void ResultTable::FitColumnsToContents() {
  const app::ResultList& list = model_.List();
  const int widest = qMax(100, viewport()->width() * 3 / 5);
  for (size_t i = 0; i < list.ColumnCount(); ++i) {
    const int column = static_cast<int>(i);
    const int own = list.ColumnAt(i).width;
    const int needed = qMax(sizeHintForColumn(column), horizontalHeader()->sectionSizeHint(column));
    horizontalHeader()->resizeSection(column, qMax(own, qMin(needed, qMax(own, widest))));
  }
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

}  // namespace vellum::ui
