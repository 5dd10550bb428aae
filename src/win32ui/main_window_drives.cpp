// The main window's drive box: its entries with the system's icons, the
// selection and what it does to the in-use option, and the legacy path
// taken at start-up.
#include "win32ui/main_window.h"

#include <shellapi.h>

#include "app/drive_selection.h"
#include "app/main_control_ids.h"
#include "app/window_start.h"
#include "platform/loadable_module.h"
#include "platform/win32/wide.h"

namespace vellum::win32ui {

using namespace app::main_control_ids;
using platform::win32::Wide;

namespace {

// The system's small icon of a drive or an image file.
int SmallIconOf(const volume::DriveEntry& entry) {
  SHFILEINFOW info{};
  const std::wstring path = Wide(entry.deviceNumber.empty() ? entry.sourcePath : entry.rootText);
  SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  return info.iIcon;
}

}  // namespace

void MainWindow::FillDriveBox() {
  const HWND box = GetDlgItem(dialog_, kDriveBoxControlId);
  SHFILEINFOW info{};
  const auto icons = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (icons) SendMessageW(box, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(icons));
  for (const volume::DriveEntry& entry : drives_.entries) AddDriveItem(entry);
  const int32_t start = select_ >= 0 ? select_ : drives_.defaultIndex;
  SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(start), 0);
}

void MainWindow::AddDriveItem(const volume::DriveEntry& entry) {
  std::wstring text = Wide(entry.displayName);
  COMBOBOXEXITEMW item{};
  item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
  item.iItem = -1;
  item.pszText = text.data();
  item.iImage = item.iSelectedImage = SmallIconOf(entry);
  SendDlgItemMessageW(dialog_, kDriveBoxControlId, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void MainWindow::OnDriveSelected() {
  const auto index = static_cast<int32_t>(SendDlgItemMessageW(dialog_, kDriveBoxControlId, CB_GETCURSEL, 0, 0));
  switch (app::InUseOptionOnSelection(state_, drives_, index)) {
    case volume::InUseOption::Enable: SetInUseEnabled(true); break;
    case volume::InUseOption::Disable: SetInUseEnabled(false); break;
    case volume::InUseOption::Keep: break;
  }
}

void MainWindow::SetInUseEnabled(bool enabled) {
  for (const int id : {kInUseCheckId, kInUseLine1Id, kInUseLine2Id}) EnableWindow(GetDlgItem(dialog_, id), enabled);
  InvalidateRect(dialog_, nullptr, TRUE);
}

bool MainWindow::StartLegacyPath() {
  if (!app::BindLegacyPath(legacy_, platform::ProgramFolder(), messages_)) return false;
  for (const std::string& reason : app::AddWindowBiosUnits(legacy_, biosDisks_))
    messages_.Show(reason, MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok);
  app::UseLegacyPath(legacy_, drives_, state_);
  return true;
}

}  // namespace vellum::win32ui
