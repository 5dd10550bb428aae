// The result list on screen (control 1000): a report view with full-row,
// multiple selection, sorted by clicking a column heading, Ctrl+A selecting
// every row. Its selection is the list's own (see ListSelectionModel).
#pragma once

#include <QTableView>

#include "ui/result_table_model.h"

namespace vellum::ui {

class ListSelectionModel;

class ResultTable : public QTableView {
  Q_OBJECT

 public:
  ResultTable(ResultTableModel& model, QWidget* parent);

  // The heading click: sorts with the wait cursor shown; the selection moves
  // with its rows.
  void OnColumnClick(int column);
  // Once a command has filled the list: each column as wide as its widest
  // cell on screen and its heading (never narrower than its own width, and
  // no wider than most of the view, so one long folder leaves the others).
  void FitColumnsToContents();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ApplyColumnWidths();

  ResultTableModel& model_;
  ListSelectionModel* selection_ = nullptr;
};

}  // namespace vellum::ui
