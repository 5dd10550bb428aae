// The list view (control 1000) over the result list: a virtual report-mode
// list whose rows are read from the ResultList when they are drawn, so a
// million rows cost nothing to insert. What is selected in the control is
// what a restore takes; the result list follows it, so a sort moves the
// selection with its rows.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/result_list.h"

namespace vellum::win32ui {

class ResultListView final : public app::ResultListObserver {
 public:
  ResultListView(HWND dialog, app::ResultList& list);

  // The list view's notifications (WM_NOTIFY from control 1000); true when handled.
  bool OnNotify(const NMHDR& header, LRESULT& result);
  // The rows selected in the control, in ascending order.
  std::vector<size_t> SelectedRows() const;
  // Each column as wide as its widest cell or heading, never narrower than
  // the list's own width for it and, unless that is wider, no wider than
  // three fifths of the list. The list's widths stay what a results file
  // saves.
  void FitColumnsToContents();

  void OnClearing(std::string_view notice) override;
  void OnCleared() override;
  void OnColumnsChanged() override;
  void OnRowInserted(size_t index) override;
  void OnRowChanged(size_t index) override;
  void OnRowsReordered() override;
  void OnSelectionChanged() override;
  void OnFoundCountChanged(std::string_view text) override;
  // Rows added and the count changed since the last time, shown now (the
  // dialog's WM_TIMER kRowsTimerId, and before anything reads the control).
  void FlushRows();
  static constexpr UINT_PTR kRowsTimerId = 0x5652;

 private:
  void FillItem(NMLVDISPINFOW& info);
  void OnColumnClick(int column);
  // The sort arrow on `column` alone (-1: on none).
  void ShowSortArrow(int column, bool ascending);
  int NeededWidth(size_t column);
  void TakeSelectionFromControl();
  void ShowCount();
  void ArmFlush();
  static constexpr UINT kFlushIntervalMs = 250;

  HWND dialog_;
  HWND control_;
  app::ResultList& list_;
  std::wstring cell_;    // the text handed out last; lives until the next request
  bool applying_ = false;  // the control's selection is being set from the list
  bool rowsPending_ = false;  // rows the control has not been told of
  bool countPending_ = false;
  bool flushArmed_ = false;
  std::string countText_;
};

}  // namespace vellum::win32ui
