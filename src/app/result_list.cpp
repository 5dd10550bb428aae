#include "app/result_list.h"

#include "app/parse_number.h"

#include <algorithm>
#include <numeric>

#include "volume/listing.h"
#include "volume/scan_state.h"

namespace vellum::app {

namespace {

constexpr char kCellEnd = '\0';

std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find(kCellEnd)); }

// Bounds [begin, end) of cell `column` in a row's cell string; false when the
// row holds fewer cells, and `held`, when given, then says how many it holds.
bool FindCell(std::string_view cells, size_t column, size_t& begin, size_t& end, size_t* held = nullptr) {
  begin = 0;
  for (size_t i = 0; i < column; ++i) {
    const size_t sep = cells.find(kCellEnd, begin);
    if (sep == std::string_view::npos) {
      if (held) *held = i + 1;
      return false;
    }
    begin = sep + 1;
  }
  end = cells.find(kCellEnd, begin);
  if (end == std::string_view::npos) end = cells.size();
  return true;
}

void SetCellIn(std::string& cells, size_t column, std::string_view text) {
  size_t begin = 0, end = 0, held = 0;
  if (FindCell(cells, column, begin, end, &held)) {
    cells.replace(begin, end - begin, text);
    return;
  }
  if (text.empty()) return;  // cells past the last one stored read as empty anyway
  cells.append(column - held + 1, kCellEnd);
  cells.append(text);
}

void EraseCellIn(std::string& cells, size_t column) {
  size_t begin = 0, end = 0;
  if (!FindCell(cells, column, begin, end)) return;
  if (end < cells.size()) {
    cells.erase(begin, end - begin + 1);  // with the separator after it
  } else if (begin > 0) {
    cells.erase(begin - 1);  // the last cell, with the separator before it
  } else {
    cells.clear();
  }
}

void KeepCellsBelow(std::string& cells, size_t columnCount) {
  size_t begin = 0, end = 0;
  if (!FindCell(cells, columnCount, begin, end)) return;
  if (begin == 0)
    cells.clear();
  else
    cells.erase(begin - 1);
}

void InsertEmptyCellIn(std::string& cells, size_t column) {
  size_t begin = 0, end = 0;
  if (FindCell(cells, column, begin, end) && !cells.empty()) cells.insert(begin, 1, kCellEnd);
}

bool IsNumericColumn(size_t column) {
  return column == 2 || column == 5 || column == 6 || column == 7;
}

// A text sort key: the first eight bytes big-endian decide most comparisons
// without touching the key text itself.
struct TextKey {
  uint64_t prefix;
  size_t offset;
  uint32_t length;
  uint32_t row;
};

// As platform::UpperAscii, without a string per key.
void UpperAsciiInPlace(char* text, size_t size) {
  for (size_t i = 0; i < size; ++i)
    if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 'a' + 'A');
}

// After a sort the rows' cell strings lie all over the heap; reading them in
// row order is bound by cache misses unless we ask for them early.
constexpr size_t kPrefetchAhead = 16;

uint64_t PrefixOf(std::string_view key) {
  uint64_t prefix = 0;
  for (size_t i = 0; i < 8; ++i)
    prefix = (prefix << 8) | (i < key.size() ? static_cast<uint8_t>(key[i]) : 0);
  return prefix;
}

}  // namespace

ResultList::ResultList() { CreateStartupColumns(); }

template <typename Edit>
void ResultList::EditCells(Row& row, Edit edit) {
  scratch_.assign(CellsOf(row));
  edit(scratch_);
  cellText_.Replace(row.cells, scratch_);
  // A pool that is mostly replaced texts is written anew, without them.
  constexpr size_t kCompactAbove = size_t{64} << 20;
  if (cellText_.UnusedBytes() > kCompactAbove && cellText_.UnusedBytes() > cellText_.UsedBytes())
    RewriteAllCells([](std::string&, Row&) {});
}

template <typename Edit>
void ResultList::RewriteAllCells(Edit edit) {
  volume::TextPool pool;
  for (Row& row : rows_) {
    scratch_.assign(CellsOf(row));
    edit(scratch_, row);
    row.cells = pool.Append(scratch_);
  }
  cellText_ = std::move(pool);
}

const Column& ResultList::ColumnAt(size_t index) const {
  static const Column kNone;
  return index < columns_.size() ? columns_[index] : kNone;
}

void ResultList::InsertColumn(size_t index, Column column) {
  ++revision_;
  index = std::min(index, columns_.size());
  const bool movesFolders = index <= kFolderColumn;
  if (movesFolders) PutFoldersInCells();
  columns_.insert(columns_.begin() + static_cast<ptrdiff_t>(index), std::move(column));
  RewriteAllCells([&](std::string& cells, Row&) { InsertEmptyCellIn(cells, index); });
  if (movesFolders) TakeFoldersFromCells();
  if (observer_) observer_->OnColumnsChanged();
}

void ResultList::DeleteColumn(size_t index) {
  if (index >= columns_.size()) return;
  ++revision_;
  const bool movesFolders = index <= kFolderColumn;
  if (movesFolders) PutFoldersInCells();
  columns_.erase(columns_.begin() + static_cast<ptrdiff_t>(index));
  RewriteAllCells([&](std::string& cells, Row&) { EraseCellIn(cells, index); });
  if (movesFolders) TakeFoldersFromCells();
  if (observer_) observer_->OnColumnsChanged();
}

uint32_t ResultList::FolderIndexOf(std::string_view text) {
  if (text.empty()) return kNoFolder;
  if (lastFolder_ != kNoFolder && folders_[lastFolder_] == text) return lastFolder_;
  const auto found = folderIndex_.find(text);
  if (found != folderIndex_.end()) return lastFolder_ = found->second;
  lastFolder_ = static_cast<uint32_t>(folders_.size());
  folderIndex_.emplace(folders_.emplace_back(text), lastFolder_);
  return lastFolder_;
}

void ResultList::ClearFolders() {
  std::unordered_map<std::string_view, uint32_t>().swap(folderIndex_);
  std::deque<std::string>().swap(folders_);
  lastFolder_ = kNoFolder;
}

void ResultList::PutFoldersInCells() {
  RewriteAllCells([&](std::string& cells, Row& row) {
    if (row.folder == kNoFolder) return;
    SetCellIn(cells, kFolderColumn, folders_[row.folder]);
    row.folder = kNoFolder;
  });
  ClearFolders();
}

void ResultList::TakeFoldersFromCells() {
  if (columns_.size() <= kFolderColumn) return;
  RewriteAllCells([&](std::string& cells, Row& row) {
    size_t begin = 0, end = 0;
    if (!FindCell(cells, kFolderColumn, begin, end) || begin == end) return;
    row.folder = FolderIndexOf(volume::CutFolderText(std::string_view(cells).substr(begin, end - begin)));
    cells.erase(begin, end - begin);
  });
}

void ResultList::CreateStartupColumns() {
  ReplaceColumns({
      {"名前", ColumnAlign::kLeft, 110},
      {"フォルダ名", ColumnAlign::kLeft, 210},
      {"サイズ", ColumnAlign::kRight, 70},
      {"種類", ColumnAlign::kLeft, 110},
      {"更新日時", ColumnAlign::kLeft, 120},
  });
}

void ResultList::RemoveVolumeColumns() {
  DeleteColumn(7);
  DeleteColumn(6);
  DeleteColumn(5);
}

void ResultList::SetClusterColumn(uint8_t fsKind) {
  RemoveVolumeColumns();
  if (fsKind == volume::kNtfs)
    InsertColumn(5, {"ファイル番号", ColumnAlign::kRight, 90});
  else
    InsertColumn(5, {"クラスタ", ColumnAlign::kRight, 70});
}

void ResultList::AddScanColumns() {
  InsertColumn(6, {"スキャンクラスタ", ColumnAlign::kRight, 100});
  InsertColumn(7, {"番号", ColumnAlign::kRight, 50});
}

void ResultList::ReplaceColumns(std::vector<Column> columns) {
  ++revision_;
  // Only a load replaces the columns, on an empty list; rows that are there
  // anyway keep their cells by position and lose those beyond the new columns.
  columns_ = std::move(columns);
  if (!rows_.empty())
    RewriteAllCells([&](std::string& cells, Row& row) {
      KeepCellsBelow(cells, columns_.size());
      if (columns_.size() <= kFolderColumn) row.folder = kNoFolder;
    });
  if (observer_) observer_->OnColumnsChanged();
}

void ResultList::InsertRow(size_t index, std::string_view name, int iconIndex) {
  ++revision_;
  index = std::min(index, rows_.size());
  Row row;
  // The other cells of a walk's row follow at once: the row's text is then
  // the pool's last, and grows where it is.
  row.cells = cellText_.Append(UpToNul(name));
  row.icon = iconIndex;
  rows_.insert(rows_.begin() + static_cast<ptrdiff_t>(index), std::move(row));
  selected_.insert(selected_.begin() + static_cast<ptrdiff_t>(index), 0);
  if (observer_) observer_->OnRowInserted(index);
}

void ResultList::SetCell(size_t index, size_t column, std::string_view text) {
  if (index >= rows_.size() || column >= columns_.size()) return;
  ++revision_;
  if (column == kFolderColumn)
    rows_[index].folder = FolderIndexOf(volume::CutFolderText(UpToNul(text)));
  else
    EditCells(rows_[index], [&](std::string& cells) { SetCellIn(cells, column, UpToNul(text)); });
  if (observer_) observer_->OnRowChanged(index);
}

void ResultList::SetDataWord(size_t index, uint32_t dataWord) {
  if (index >= rows_.size()) return;
  ++revision_;
  rows_[index].dataWord = dataWord;
}

void ResultList::SetIcon(size_t index, int iconIndex) {
  if (index >= rows_.size()) return;
  rows_[index].icon = iconIndex;
  if (observer_) observer_->OnRowChanged(index);
}

void ResultList::ShowFoundCount(uint32_t count) {
  foundCountText_ = std::to_string(count);
  if (observer_) observer_->OnFoundCountChanged(foundCountText_);
}

std::string_view ResultList::Cell(size_t row, size_t column) const {
  if (row >= rows_.size() || column >= columns_.size()) return {};
  if (column == kFolderColumn) {
    const uint32_t folder = rows_[row].folder;
    return folder == kNoFolder ? std::string_view() : std::string_view(folders_[folder]);
  }
  const std::string_view cells = CellsOf(rows_[row]);
  size_t begin = 0, end = 0;
  if (!FindCell(cells, column, begin, end)) return {};
  return cells.substr(begin, end - begin);
}

void ResultList::RowCells(size_t row, std::vector<std::string_view>& cells) const {
  cells.assign(columns_.size(), std::string_view());
  if (row >= rows_.size()) return;
  // One pass over the row's cells rather than a search from its start for each.
  std::string_view rest = CellsOf(rows_[row]);
  for (size_t column = 0; column < cells.size() && !rest.empty(); ++column) {
    const size_t end = rest.find(kCellEnd);
    cells[column] = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  if (kFolderColumn < cells.size()) cells[kFolderColumn] = Cell(row, kFolderColumn);
}

void ResultList::ClearRows() {
  ++revision_;
  if (observer_) observer_->OnClearing(kClearingNotice);
  std::vector<Row>().swap(rows_);
  cellText_.Clear();
  std::vector<uint8_t>().swap(selected_);
  ClearFolders();
  if (observer_) observer_->OnCleared();
}

void ResultList::OnColumnClick(size_t column) {
  if (column != sortColumn_) ascending_ = true;
  sortColumn_ = column;
  SortRows(column, ascending_);
  ascending_ = !ascending_;
}

void ResultList::PrefetchCells(size_t row) const {
#if defined(__GNUC__)
  if (row < rows_.size()) __builtin_prefetch(cellText_.Data(rows_[row].cells));
#else
  (void)row;
#endif
}

void ResultList::SortRows(size_t column, bool ascending) {
  const uint32_t count = static_cast<uint32_t>(rows_.size());
  std::vector<uint32_t> order(count);
  if (IsNumericColumn(column)) {
    std::vector<std::pair<uint64_t, uint32_t>> keys(count);
    for (uint32_t i = 0; i < count; ++i) {
      PrefetchCells(i + kPrefetchAhead);
      keys[i] = {ParseUnsigned64(Cell(i, column)), i};
    }
    if (ascending)
      std::stable_sort(keys.begin(), keys.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
    else
      std::stable_sort(keys.begin(), keys.end(),
                       [](const auto& a, const auto& b) { return b.first < a.first; });
    for (uint32_t i = 0; i < count; ++i) order[i] = keys[i].second;
  } else {
    // Every key upper-cased once into one buffer.
    std::string text;
    std::vector<TextKey> keys(count);
    for (uint32_t i = 0; i < count; ++i) {
      PrefetchCells(i + kPrefetchAhead);
      const std::string_view cell = Cell(i, column);
      const size_t offset = text.size();
      text += cell;
      UpperAsciiInPlace(text.data() + offset, cell.size());
      keys[i] = {PrefixOf(std::string_view(text).substr(offset)), offset,
                 static_cast<uint32_t>(cell.size()), i};
    }
    const auto less = [&text](const TextKey& a, const TextKey& b) {
      if (a.prefix != b.prefix) return a.prefix < b.prefix;
      // char_traits<char> compares as unsigned bytes.
      return std::string_view(text).substr(a.offset, a.length) <
             std::string_view(text).substr(b.offset, b.length);
    };
    if (ascending)
      std::stable_sort(keys.begin(), keys.end(), less);
    else
      std::stable_sort(keys.begin(), keys.end(),
                       [&less](const TextKey& a, const TextKey& b) { return less(b, a); });
    for (uint32_t i = 0; i < count; ++i) order[i] = keys[i].row;
  }
  ApplyOrder(order);
  if (observer_) observer_->OnRowsReordered();
}

// Rows move with their data word, icon and selection, which is all the list
// control's save-and-restore of the data words achieved.
void ResultList::ApplyOrder(const std::vector<uint32_t>& order) {
  std::vector<Row> rows(order.size());
  std::vector<uint8_t> selected(order.size());
  for (size_t i = 0; i < order.size(); ++i) {
#if defined(__GNUC__)
    if (i + kPrefetchAhead < order.size()) __builtin_prefetch(&rows_[order[i + kPrefetchAhead]]);
#endif
    rows[i] = std::move(rows_[order[i]]);
    selected[i] = selected_[order[i]];
  }
  rows_ = std::move(rows);
  selected_ = std::move(selected);
}

int ResultList::OnListKeyDown(int key, bool ctrlHeld) {
  if (ctrlHeld && key == 'A') SelectAll();
  return 0;
}

void ResultList::SelectAll() {
  std::fill(selected_.begin(), selected_.end(), 1);
  if (observer_) observer_->OnSelectionChanged();
}

void ResultList::ClearSelection() {
  std::fill(selected_.begin(), selected_.end(), 0);
  if (observer_) observer_->OnSelectionChanged();
}

void ResultList::SetSelected(size_t row, bool selected) {
  if (row >= selected_.size()) return;
  selected_[row] = selected ? 1 : 0;
  if (observer_) observer_->OnSelectionChanged();
}

void ResultList::SelectRuns(const std::vector<std::pair<size_t, size_t>>& runs) {
  std::fill(selected_.begin(), selected_.end(), 0);
  for (const auto& [first, end] : runs) {
    const size_t stop = std::min(end, selected_.size());
    if (first < stop) std::fill(selected_.begin() + static_cast<ptrdiff_t>(first),
                                selected_.begin() + static_cast<ptrdiff_t>(stop), 1);
  }
  if (observer_) observer_->OnSelectionChanged();
}

std::vector<size_t> ResultList::SelectedRows() const {
  std::vector<size_t> rows;
  for (size_t i = 0; i < selected_.size(); ++i)
    if (selected_[i]) rows.push_back(i);
  return rows;
}

}  // namespace vellum::app
