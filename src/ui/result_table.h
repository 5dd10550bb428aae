// The result list on screen (control 1000): a report view with full-row,
// multiple selection, sorted by clicking a column heading, Ctrl+A selecting
// every row.
#pragma once

#include <QTableView>

#include "ui/result_table_model.h"

namespace vellum::ui {

class ResultTable : public QTableView {
  Q_OBJECT

 public:
  ResultTable(ResultTableModel& model, QWidget* parent);

  // The heading click: sorts with the wait cursor shown; the selection moves
  // with its rows.
  void OnColumnClick(int column);
  // The view's selection written into the list, for commands that act on the
  // selected rows.
  void SyncSelectionToList();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ApplyColumnWidths();
  void SyncSelectionFromList();

  ResultTableModel& model_;
  bool syncing_ = false;
};

}  // namespace vellum::ui
