// The main window's list files: saving the list, loading one back with
// its drive, through the system's file dialogs.
#include <windows.h>
#include <commdlg.h>

#include "app/main_control_ids.h"
#include "app/open_volume.h"
#include "app/results_file.h"
#include "platform/win32/wide.h"
#include "win32ui/main_window.h"

namespace vellum::win32ui {

using namespace app::main_control_ids;
using platform::win32::Utf8;
using platform::win32::Wide;

void MainWindow::OnLoadResults() {
  if (busy_) return;
  busy_ = true;
  const uint64_t before = list_.Revision();
  app::LoadResults(list_, *this, messages_, shell_.get());
  if (list_.Revision() != before) {
    rowsDrive_ = state_.driveIndex;
    ShowNewRows();
  }
  ShowOpenDrive();
  ShowStatus(nullptr, false);
  busy_ = false;
}

namespace {

constexpr wchar_t kAllFiles[] = L"すべてのﾌｧｲﾙ(*.*)\0*.*\0";
constexpr wchar_t kImageFiles[] = L"ディスクイメージ (*.img;*.dd;*.raw;*.bin;*.000;*.001)\0*.img;*.dd;*.raw;*.bin;*.000;*.001\0"
                                  L"すべてのﾌｧｲﾙ(*.*)\0*.*\0";

// "名前を付けて保存" and "開く": every file, no default extension, no
// read-only box.
std::string AskFilePath(HWND owner, std::string_view initialName, bool save, const wchar_t* filter = kAllFiles,
                        const wchar_t* title = nullptr) {
  std::wstring path = Wide(initialName);
  path.resize(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter;
  dialog.lpstrTitle = title;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
                 (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
  if (!(save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog))) return {};
  path.resize(wcslen(path.c_str()));
  return Utf8(path);
}

}  // namespace

std::string MainWindow::AskSavePath(std::string_view initialName) {
  return AskFilePath(dialog_, initialName, true, kAllFiles, L"名前を付けて保存");
}

std::string MainWindow::AskOpenPath(std::string_view initialName) {
  return AskFilePath(dialog_, initialName, false, kAllFiles, L"開く");
}

std::string MainWindow::AskImagePath() {
  return AskFilePath(dialog_, {}, false, kImageFiles, L"イメージファイルを開く");
}

bool MainWindow::SelectDrive(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= drives_.entries.size()) return false;
  SendDlgItemMessageW(dialog_, kDriveBoxControlId, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  return true;
}

int MainWindow::OpenVolume() { return app::OpenVolume(state_, Context().volume, list_, commandMessages_); }

}  // namespace vellum::win32ui
