// vellum.exe: the desktop program on Windows. The drives of the system
// come first in the drive box, then the image files named on the command
// line (the first of them selected).
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/drive_summary.h"
#include "platform/win32/wide.h"
#include "volume/drives.h"
#include "win32ui/main_window.h"

namespace {

int32_t FirstImageEntry(const vellum::volume::DriveTable& drives) {
  for (const vellum::volume::DriveEntry& entry : drives.entries)
    if (entry.deviceNumber.empty()) return entry.index;
  return -1;
}

std::vector<std::string> ImageArguments() {
  std::vector<std::string> images;
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments) return images;
  for (int i = 1; i < count; ++i) images.push_back(vellum::platform::win32::Utf8(arguments[i]));
  LocalFree(arguments);
  return images;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_USEREX_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  // The folder picker is a shell object.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  vellum::volume::DriveSources sources;
  sources.images = ImageArguments();
  vellum::volume::DriveTable drives = vellum::volume::EnumerateDrives(sources);
  vellum::app::AddDriveSummaries(drives);
  std::vector<std::string> errors = drives.errors;
  const int32_t select = FirstImageEntry(drives);
  vellum::win32ui::MainWindow window(instance, std::move(drives), select, std::move(errors));
  window.Run();
  CoUninitialize();
  return 0;
}
