// vellum.exe: the desktop program on Windows. The drives of the system
// come first in the drive box, then the image files named on the command
// line (the first of them selected); --bios-disk DISK takes the legacy path
// with DISK as the disk BIOS's next unit, as the Qt program does.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/drive_summary.h"
#include "app/window_start.h"
#include "platform/win32/wide.h"
#include "volume/drives.h"
#include "win32ui/main_window.h"

namespace {

int32_t FirstImageEntry(const vellum::volume::DriveTable& drives) {
  for (const vellum::volume::DriveEntry& entry : drives.entries)
    if (entry.deviceNumber.empty()) return entry.index;
  return -1;
}

std::vector<std::string> Arguments() {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(vellum::platform::win32::Utf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_USEREX_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  // The folder picker is a shell object.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  vellum::app::WindowArguments arguments = vellum::app::ParseWindowArguments(Arguments());
  vellum::volume::DriveSources sources;
  sources.images = std::move(arguments.images);
  vellum::volume::DriveTable drives = vellum::volume::EnumerateDrives(sources);
  vellum::app::AddDriveSummaries(drives);
  std::vector<std::string> errors = drives.errors;
  const int32_t select = FirstImageEntry(drives);
  vellum::win32ui::MainWindow window(instance, std::move(drives), select, std::move(errors));
  window.TakeLegacyPath(std::move(arguments.biosDisks));
  // The window ends at once, after the layer's message, when the legacy
  // path was asked for and its layer is missing.
  const INT_PTR ended = window.Run();
  CoUninitialize();
  return ended == 0 ? 0 : 1;
}
