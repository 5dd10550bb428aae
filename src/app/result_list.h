// The result list without its window: columns, rows of cell texts with their
// icon and data word, sorting by a clicked column, and the selection. The GUI
// shows it through a view that listens as a ResultListObserver; walkers fill
// it through the RowSink seam; the results file saves and reloads it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "volume/seams.h"
#include "volume/text_pool.h"

namespace vellum::app {

// Shown across the list while it is being emptied, which can take a while.
inline constexpr std::string_view kClearingNotice =
    "リストボックスのアイテムを削除しています。\n"
    "アイテム数が多い場合はかなり長い時間がかかる場合がありますがお待ちください。";

enum class ColumnAlign : uint8_t { kLeft = 0, kRight = 1, kCentre = 2 };

struct Column {
  std::string heading;
  ColumnAlign align = ColumnAlign::kLeft;
  int32_t width = 0;  // pixels

  bool operator==(const Column&) const = default;
};

// Told about every change, so that a view can follow. All default to nothing.
class ResultListObserver {
 public:
  virtual ~ResultListObserver() = default;
  // Before the rows go: show kClearingNotice and repaint at once.
  virtual void OnClearing(std::string_view /*notice*/) {}
  // After they went: hide the notice.
  virtual void OnCleared() {}
  virtual void OnColumnsChanged() {}
  virtual void OnRowInserted(size_t /*index*/) {}
  virtual void OnRowChanged(size_t /*index*/) {}
  virtual void OnRowsReordered() {}
  virtual void OnSelectionChanged() {}
  virtual void OnFoundCountChanged(std::string_view /*text*/) {}
};

class ResultList final : public RowSink {
 public:
  // Starts with columns 0 to 4, no rows and an empty counter.
  ResultList();

  void SetObserver(ResultListObserver* observer) { observer_ = observer; }

  // Columns. Inserting or deleting a column moves the cells of every row with it.
  size_t ColumnCount() const { return columns_.size(); }
  // An empty column for an index past the end.
  const Column& ColumnAt(size_t index) const;
  // index past the end appends.
  void InsertColumn(size_t index, Column column);
  // No effect on a column that does not exist.
  void DeleteColumn(size_t index);
  // Columns 0 to 4 as start-up creates them, replacing whatever was there.
  void CreateStartupColumns();
  // Removes columns 7, 6 and 5, as a volume opening does before it knows the
  // file system.
  void RemoveVolumeColumns();
  // Column 5 for the opened file system: cluster numbers, or file record
  // numbers on NTFS. Removes columns 7, 6 and 5 first.
  void SetClusterColumn(uint8_t fsKind);
  // Columns 6 and 7 of the NTFS cluster scan: scanned cluster and slot.
  void AddScanColumns() override;
  void ReplaceColumns(std::vector<Column> columns);

  // RowSink. A row inserted past the end is appended; cells of columns or
  // rows that do not exist are not kept, as the list control drops them. A
  // cell text ends at its first NUL, as it would in the control.
  void InsertRow(size_t index, std::string_view name, int iconIndex) override;
  void SetCell(size_t index, size_t column, std::string_view text) override;
  void SetDataWord(size_t index, uint32_t dataWord) override;
  void ShowFoundCount(uint32_t count) override;

  void SetIcon(size_t index, int iconIndex);
  size_t RowCount() const { return rows_.size(); }
  // Empty for a cell never set or out of range.
  std::string_view Cell(size_t row, size_t column) const;
  // Every cell of the row, as Cell gives them, into `cells` (one per column).
  void RowCells(size_t row, std::vector<std::string_view>& cells) const;
  // 0 for a row that does not exist.
  uint32_t DataWord(size_t row) const { return row < rows_.size() ? rows_[row].dataWord : 0; }
  int Icon(size_t row) const { return row < rows_.size() ? rows_[row].icon : 0; }
  // The counter under "ファイル数": empty until the first count is shown.
  const std::string& FoundCountText() const { return foundCountText_; }

  // Removes every row (and the selection), telling the observer before and after.
  void ClearRows();

  // Counts every change of what the list holds (rows, cells, columns), not
  // its order or selection: a window tells from it whether a command
  // replaced the list, and whether the rows shown are the ones last saved.
  uint64_t Revision() const { return revision_; }
  // The rows as they are now are in a file (saved, or loaded from one).
  void MarkSaved() { savedRevision_ = revision_; }
  // Rows that would be lost with the window: some, and changed since saved.
  bool HasUnsavedRows() const { return !rows_.empty() && revision_ != savedRevision_; }

  // Sorts by the clicked column: ascending on a new column, then alternating
  // on repeated clicks of the same one. Columns 2, 5, 6 and 7 compare as
  // numbers, the others as upper-cased text. The last column and direction
  // survive clearing and loading.
  void OnColumnClick(size_t column);
  size_t SortColumn() const { return sortColumn_; }
  bool NextSortAscending() const { return ascending_; }

  // Ctrl+A selects every row; the notification's result is always 0.
  int OnListKeyDown(int key, bool ctrlHeld);
  void SelectAll();
  void ClearSelection();
  void SetSelected(size_t row, bool selected);
  // The selection becomes exactly these runs of rows, [first, end) each;
  // parts past the last row are ignored.
  void SelectRuns(const std::vector<std::pair<size_t, size_t>>& runs);
  bool IsSelected(size_t row) const { return row < selected_.size() && selected_[row] != 0; }
  std::vector<size_t> SelectedRows() const;

 private:
  static constexpr size_t kFolderColumn = 1;
  static constexpr uint32_t kNoFolder = UINT32_MAX;

  // The cells of a row are one text, separated by NUL (which no cell text
  // holds), kept in the list's text pool; a row keeps cells only up to the
  // last one set, so a million rows cost no allocation each. The folder
  // cell is the exception: the rows of one folder share its text in the
  // folder table, and the row's own cell there stays empty.
  struct Row {
    volume::TextPool::Ref cells;
    uint32_t dataWord = 0;
    int32_t icon = 0;
    uint32_t folder = kNoFolder;
  };

  std::string_view CellsOf(const Row& row) const { return cellText_.View(row.cells); }
  // The row's cells changed by `edit` on a copy of them.
  template <typename Edit>
  void EditCells(Row& row, Edit edit);
  // Every row's cells through `edit`, into a new pool: also what a pool
  // full of replaced texts is compacted by.
  template <typename Edit>
  void RewriteAllCells(Edit edit);

  uint32_t FolderIndexOf(std::string_view text);
  void ClearFolders();
  // Around a column change that moves the folder cell: its text goes back
  // into each row's cells, and whatever is in column 1 afterwards comes out.
  void PutFoldersInCells();
  void TakeFoldersFromCells();

  void SortRows(size_t column, bool ascending);
  void PrefetchCells(size_t row) const;
  void ApplyOrder(const std::vector<uint32_t>& order);

  std::vector<Column> columns_;
  std::vector<Row> rows_;
  volume::TextPool cellText_;
  std::string scratch_;  // a row's cells while one of them changes
  std::vector<uint8_t> selected_;  // parallel to rows_
  // Each folder text once; deque elements stay where they are as it grows,
  // so the index can key on views of them.
  std::deque<std::string> folders_;
  std::unordered_map<std::string_view, uint32_t> folderIndex_;
  uint32_t lastFolder_ = kNoFolder;  // rows come folder by folder
  std::string foundCountText_;
  size_t sortColumn_ = 0;
  bool ascending_ = true;
  uint64_t revision_ = 0;
  uint64_t savedRevision_ = 0;
  ResultListObserver* observer_ = nullptr;
};

}  // namespace vellum::app
