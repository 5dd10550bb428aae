#include "platform/stream_names.h"

#include <windows.h>

#include <cwchar>

#include "platform/win32/wide.h"

namespace vellum::platform {

// "FILE:STREAM" is a stream of FILE on an NTFS volume, and a refused name
// everywhere else.
bool FolderTakesStreamNames(const std::string& folder) {
  wchar_t volume[MAX_PATH + 1] = {};
  wchar_t fileSystem[MAX_PATH + 1] = {};
  std::wstring wide = win32::Wide(folder);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  if (!GetVolumePathNameW(wide.c_str(), volume, MAX_PATH)) return false;
  if (!GetVolumeInformationW(volume, nullptr, 0, nullptr, nullptr, nullptr, fileSystem, MAX_PATH)) return false;
  return std::wcscmp(fileSystem, L"NTFS") == 0;
}

}  // namespace vellum::platform
