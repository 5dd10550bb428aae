#include "win32ui/result_list_view.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "platform/win32/wide.h"
#include "app/main_control_ids.h"

namespace vellum::win32ui {

using namespace app::main_control_ids;

namespace {

int FormatOf(app::ColumnAlign align) {
  switch (align) {
    case app::ColumnAlign::kRight: return LVCFMT_RIGHT;
    case app::ColumnAlign::kCentre: return LVCFMT_CENTER;
    case app::ColumnAlign::kLeft: break;
  }
  return LVCFMT_LEFT;
}

}  // namespace

ResultListView::ResultListView(HWND dialog, app::ResultList& list)
    : dialog_(dialog), control_(GetDlgItem(dialog, kListId)), list_(list) {
  ListView_SetExtendedListViewStyle(control_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  // The system's small icons, shared with the drive box: the control must
  // not destroy the list when it goes.
  SetWindowLongPtrW(control_, GWL_STYLE, GetWindowLongPtrW(control_, GWL_STYLE) | LVS_SHAREIMAGELISTS);
  SHFILEINFOW info{};
  const auto icons = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (icons) ListView_SetImageList(control_, icons, LVSIL_SMALL);
  list_.SetObserver(this);
  OnColumnsChanged();
}

void ResultListView::OnColumnsChanged() {
  while (ListView_DeleteColumn(control_, 0)) {
  }
  for (size_t i = 0; i < list_.ColumnCount(); ++i) {
    const app::Column& c = list_.ColumnAt(i);
    std::wstring heading = platform::win32::Wide(c.heading);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = FormatOf(c.align);
    column.cx = c.width;
    column.pszText = heading.data();
    column.iSubItem = static_cast<int>(i);
    ListView_InsertColumn(control_, static_cast<int>(i), &column);
  }
}

void ResultListView::OnClearing(std::string_view) {
  // New rows come in the order they were found: no column is sorted then.
  ShowSortArrow(-1, true);
  ShowWindow(GetDlgItem(dialog_, kClearingNoticeId), SW_SHOW);
  UpdateWindow(dialog_);
}

void ResultListView::OnCleared() {
  rowsPending_ = false;
  ListView_SetItemCountEx(control_, 0, 0);
  ShowWindow(GetDlgItem(dialog_, kClearingNoticeId), SW_HIDE);
}

// A search adds its rows one by one, each with its cells; told to the
// control row by row, every one was a repaint of the list (17 ms a row under
// Wine). They are shown together a few times a second instead, and when the
// command ends.
void ResultListView::OnRowInserted(size_t) {
  rowsPending_ = true;
  ArmFlush();
}

void ResultListView::OnRowChanged(size_t index) {
  if (rowsPending_) return;  // the flush redraws every row
  ListView_RedrawItems(control_, static_cast<int>(index), static_cast<int>(index));
}

void ResultListView::ArmFlush() {
  if (!flushArmed_) flushArmed_ = SetTimer(dialog_, kRowsTimerId, kFlushIntervalMs, nullptr) != 0;
  if (!flushArmed_) FlushRows();  // no timer to be had: at once, as before
}

void ResultListView::FlushRows() {
  if (flushArmed_) KillTimer(dialog_, kRowsTimerId);
  flushArmed_ = false;
  if (rowsPending_) {
    rowsPending_ = false;
    ListView_SetItemCountEx(control_, static_cast<int>(list_.RowCount()), LVSICF_NOSCROLL);
  }
  if (countPending_) {
    countPending_ = false;
    SetDlgItemTextW(dialog_, kFoundCountId, platform::win32::Wide(countText_).c_str());
  }
}

void ResultListView::OnRowsReordered() {
  OnSelectionChanged();
  InvalidateRect(control_, nullptr, TRUE);
}

// The list's selection (Ctrl+A, a sort) shown in the control.
void ResultListView::OnSelectionChanged() {
  FlushRows();
  applying_ = true;
  ListView_SetItemState(control_, -1, 0, LVIS_SELECTED);
  for (size_t row : list_.SelectedRows())
    ListView_SetItemState(control_, static_cast<int>(row), LVIS_SELECTED, LVIS_SELECTED);
  applying_ = false;
}

void ResultListView::OnFoundCountChanged(std::string_view text) {
  countText_ = text;
  countPending_ = true;
  ArmFlush();
}

void ResultListView::FillItem(NMLVDISPINFOW& info) {
  LVITEMW& item = info.item;
  const size_t row = static_cast<size_t>(item.iItem);
  if (item.mask & LVIF_TEXT) {
    cell_ = platform::win32::Wide(list_.Cell(row, static_cast<size_t>(item.iSubItem)));
    if (item.cchTextMax > 0) lstrcpynW(item.pszText, cell_.c_str(), item.cchTextMax);
  }
  if (item.mask & LVIF_IMAGE) item.iImage = list_.Icon(row);
}

std::vector<size_t> ResultListView::SelectedRows() const {
  std::vector<size_t> rows;
  for (int i = ListView_GetNextItem(control_, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(control_, i, LVNI_SELECTED))
    rows.push_back(static_cast<size_t>(i));
  return rows;
}

void ResultListView::TakeSelectionFromControl() {
  if (applying_) return;
  app::ResultListObserver* self = this;
  list_.SetObserver(nullptr);  // the control already shows it
  list_.ClearSelection();
  for (size_t row : SelectedRows()) list_.SetSelected(row, true);
  list_.SetObserver(self);
}

void ResultListView::OnColumnClick(int column) {
  if (column < 0) return;
  const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  list_.OnColumnClick(static_cast<size_t>(column));
  SetCursor(previous);
  // The list turns the direction round for the next click of the same column.
  ShowSortArrow(column, !list_.NextSortAscending());
}

void ResultListView::ShowSortArrow(int column, bool ascending) {
  const HWND header = ListView_GetHeader(control_);
  const int count = Header_GetItemCount(header);
  for (int i = 0; i < count; ++i) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    if (!Header_GetItem(header, i, &item)) continue;
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (i == column) item.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
    Header_SetItem(header, i, &item);
  }
}

void ResultListView::FitColumnsToContents() {
  FlushRows();
  RECT client{};
  GetClientRect(control_, &client);
  const int widest = std::max(100, static_cast<int>(client.right - client.left) * 3 / 5);
  for (size_t i = 0; i < list_.ColumnCount(); ++i) {
    const int own = list_.ColumnAt(i).width;
    const int width = std::max(own, std::min(NeededWidth(i), std::max(own, widest)));
    ListView_SetColumnWidth(control_, static_cast<int>(i), width);
  }
}

// The heading and the cells of the first rows, as the control draws them:
// its own margins around the text, and the small icon beside the first
// column's. Rows past the first few thousand are not measured, so a list of
// a million rows fits in a moment.
// Measured on one device context in the list's font: asked of the control
// cell by cell, each width took a context of its own (under Wine a round
// trip to the display each).
int ResultListView::NeededWidth(size_t column) {
  constexpr size_t kMeasuredRows = 2000;
  constexpr int kCellMargin = 12;
  const int icon = column == 0 ? GetSystemMetrics(SM_CXSMICON) + 6 : 0;
  HDC dc = GetDC(control_);
  const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control_, WM_GETFONT, 0, 0)));
  const auto width = [dc](const std::wstring& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return static_cast<int>(size.cx);
  };
  // The heading's margins, and room for the sort arrow.
  int needed = width(platform::win32::Wide(list_.ColumnAt(column).heading)) + 2 * kCellMargin + 8;
  const size_t rows = std::min(list_.RowCount(), kMeasuredRows);
  for (size_t row = 0; row < rows; ++row)
    needed = std::max(needed, width(platform::win32::Wide(list_.Cell(row, column))) + kCellMargin + icon);
  SelectObject(dc, previous);
  ReleaseDC(control_, dc);
  return needed;
}

bool ResultListView::OnNotify(const NMHDR& header, LRESULT& result) {
  result = 0;
  switch (header.code) {
    case LVN_GETDISPINFOW:
      FillItem(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header)));
      return true;
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
      TakeSelectionFromControl();
      return true;
    case LVN_COLUMNCLICK:
      OnColumnClick(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
      return true;
    case LVN_KEYDOWN: {
      const auto& key = reinterpret_cast<const NMLVKEYDOWN&>(header);
      result = list_.OnListKeyDown(key.wVKey, GetKeyState(VK_CONTROL) < 0);
      return true;
    }
    default: return false;
  }
}

}  // namespace vellum::win32ui
