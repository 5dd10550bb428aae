// The main window's searches beyond the plain one: the thorough search and
// its offer after an exFAT search, the line under the list, images opened
// from the menu, and a content row's size corrected before its restore.
#include "app/drive_summary.h"
#include "app/main_control_ids.h"
#include "app/parse_number.h"
#include "app/search_command.h"
#include "app/search_outcome.h"
#include "app/window_texts.h"
#include "platform/win32/wide.h"
#include "win32ui/file_size_dialog.h"
#include "win32ui/main_window.h"

namespace vellum::win32ui {

using namespace app::main_control_ids;
using platform::win32::Wide;

void MainWindow::OnSearch() {
  if (!RunCommand(app::OnSearch)) return;
  ShowSearchOutcome();
  if (!app::OffersThoroughSearch(state_, thorough_)) return;
  if (commandMessages_.Show(app::kOfferThoroughQuestion, MessageButtons::YesNo, MessageIcon::None,
                            MessageAnswer::No) == MessageAnswer::Yes)
    OnThoroughAgain();
}

void MainWindow::OnFullScan() {
  if (RunCommand(app::OnFullClusterScan)) ShowSearchOutcome();
}

void MainWindow::OnThoroughAgain() {
  if (busy_) return;
  SetThorough(true);
  if (RunCommand(app::OnSearch)) ShowSearchOutcome();
}

void MainWindow::SetThorough(bool on) {
  thorough_ = on;
  CheckMenuItem(GetMenu(dialog_), kThoroughCommand, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void MainWindow::ShowSearchOutcome() {
  const app::StatusLine line = app::StatusAfterSearch(state_, thorough_);
  ShowStatus(line.text, line.offersThorough);
}

void MainWindow::ShowStatus(const char* text, bool offersThorough) {
  const HWND label = GetDlgItem(dialog_, kStatusTextId);
  SetWindowTextW(label, text ? Wide(text).c_str() : L"");
  ShowWindow(label, text ? SW_SHOW : SW_HIDE);
  ShowWindow(GetDlgItem(dialog_, kStatusActionId), offersThorough ? SW_SHOW : SW_HIDE);
}

void MainWindow::OnOpenImage() {
  if (busy_) return;
  const std::string path = AskImagePath();
  if (path.empty()) return;
  std::string error;
  const int first = app::AppendImageEntries(drives_, path, error);
  if (first < 0) {
    messages_.Show(error, MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok);
    return;
  }
  for (size_t i = static_cast<size_t>(first); i < drives_.entries.size(); ++i) AddDriveItem(drives_.entries[i]);
  SendDlgItemMessageW(dialog_, kDriveBoxControlId, CB_SETCURSEL, static_cast<WPARAM>(first), 0);
  OnDriveSelected();
}

void MainWindow::OnLoadMap() {
  if (busy_) return;
  const auto index = static_cast<int32_t>(SendDlgItemMessageW(dialog_, kDriveBoxControlId, CB_GETCURSEL, 0, 0));
  if (index < 0 || static_cast<size_t>(index) >= drives_.entries.size()) return;
  const std::string source = drives_.entries[static_cast<size_t>(index)].sourcePath;
  const size_t slash = source.find_last_of("/\\");
  const std::string path = AskOpenPath((slash == std::string::npos ? source : source.substr(slash + 1)) + ".map");
  if (path.empty()) return;
  std::vector<volume::ByteRange> areas;
  std::string error;
  if (!app::ReadMapFile(path, source, areas, error)) {
    messages_.Show(error, MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok);
    return;
  }
  map_ = {source, std::move(areas)};
  ShowStatus(app::MapSummaryText(map_.areas).c_str(), false);
}

bool MainWindow::RestoreSource(std::vector<size_t>& rows, const app::ResultList*& source, app::ResultList& single) {
  if (!app::AsksContentSize(list_, rows)) return true;
  uint64_t size = app::ParseUnsigned64(list_.Cell(rows[0], 2));
  FileSizeDialog sizeDialog(instance_, dialog_);
  if (!sizeDialog.RunFileSizeDialog(size)) return false;
  single = app::RowWithSize(list_, rows[0], size);
  source = &single;
  rows = {0};
  return true;
}

}  // namespace vellum::win32ui
