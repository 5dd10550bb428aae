// The result list as a Qt table model. It holds no rows of its own: every
// cell is read from the ResultList when the view paints it, so a million rows
// cost the view nothing but the rows on screen.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QVector>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/recycle_bin_rows.h"
#include "app/result_list.h"
#include "content/content_check.h"
#include "platform/qt/shell_info_qt.h"
#include "volume/recoverability.h"

namespace vellum::ui {

class ResultTableModel : public QAbstractTableModel, public app::ResultListObserver {
  Q_OBJECT

 public:
  ResultTableModel(app::ResultList& list, platform::QtShellInfo& shell, QObject* parent = nullptr);
  ~ResultTableModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The list sorted by a clicked column, as one reset of the view.
  void SortByColumn(int column);
  // Tells the view about rows a walk appended since the last time. Appends
  // are otherwise announced in batches once control returns to the event
  // loop (which a walk's progress window lets it do every few milliseconds).
  void FlushRows();

  app::ResultList& List() { return list_; }

  // The recoverability of the rows as they stand now, one per row in row
  // order: a row not intact is shown grey, and every row's tooltip names its
  // state. Kept by what the row holds, so a sort keeps each row's own; a
  // list cleared or loaded forgets them.
  void SetRowStates(const std::vector<volume::Recoverability>& states);
  // For each row, the row (from 0) whose data a content row repeats: shown
  // grey, that row named in its tooltip.
  void SetSameContentRows(const std::vector<std::optional<size_t>>& same);
  // For each row, a recognised file's own check: a damaged one is shown
  // grey, and the check is named in the tooltip.
  void SetContentChecks(const std::vector<std::optional<content::ContentCheck>>& checks);
  // What the Recycle Bin's index says of each row (its original path and
  // deletion time), named in the row's tooltip.
  void SetBinNotes(const app::BinNotes& notes);

 signals:
  void clearing(const QString& notice);
  void cleared();
  void columnsChanged();
  void foundCountChanged(const QString& text);
  void listSelectionChanged();

 private:
  void OnClearing(std::string_view notice) override;
  void OnCleared() override;
  void OnColumnsChanged() override;
  void OnRowInserted(size_t index) override;
  void OnRowChanged(size_t index) override;
  void OnRowsReordered() override;
  void OnSelectionChanged() override;
  void OnFoundCountChanged(std::string_view text) override;

  void ResetToList();
  QString ToolTip(size_t row, size_t column) const;
  std::string RowKey(size_t row) const;
  const volume::Recoverability* StateOf(size_t row) const;
  QIcon IconFor(int iconIndex, bool folder) const;

  app::ResultList& list_;
  platform::QtShellInfo& shell_;
  int shownRows_ = 0;    // the rows the view knows of
  int pendingRows_ = 0;  // appended to the list, not yet announced
  bool flushScheduled_ = false;
  bool resetting_ = false;
  mutable QVector<QIcon> icons_;
  std::unordered_map<std::string, volume::Recoverability> states_;
  std::unordered_map<std::string, std::string> sameAs_;  // row key -> the repeated row's name and folder
  std::unordered_map<std::string, content::ContentCheck> checks_;
  std::unordered_map<std::string, std::string> binNotes_;  // row key -> the note's text
};

}  // namespace vellum::ui
