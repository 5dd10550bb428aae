#include "platform/system_drives.h"

#include <windows.h>
#include <shellapi.h>
#include <winioctl.h>

#include <vector>

#include "platform/win32/wide.h"

namespace vellum::platform {

namespace {

// The volume's length, asked without reading it; 0 when it will not say
// (an empty card reader, or no rights for the raw volume).
uint64_t VolumeLength(const std::wstring& device) {
  HANDLE h = CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  GET_LENGTH_INFORMATION length{};
  DWORD n = 0;
  const bool ok =
      DeviceIoControl(h, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length, &n, nullptr) != 0;
  CloseHandle(h);
  return ok && length.Length.QuadPart > 0 ? static_cast<uint64_t>(length.Length.QuadPart) : 0;
}

// What the shell shows for the drive ("Local Disk (C:)"), else the volume's
// label with the letter, else the letter alone.
std::string DisplayName(const std::wstring& root) {
  SHFILEINFOW info{};
  if (SHGetFileInfoW(root.c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME) && info.szDisplayName[0])
    return win32::Utf8(info.szDisplayName);
  wchar_t label[MAX_PATH + 1] = {};
  if (GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0) && label[0])
    return win32::Utf8(label) + " (" + win32::Utf8(root.substr(0, 2)) + ")";
  return win32::Utf8(root.substr(0, 2));
}

}  // namespace

std::vector<LetterDrive> ListLetterDrives() {
  std::vector<LetterDrive> drives;
  const DWORD need = GetLogicalDriveStringsW(0, nullptr);
  if (need == 0) return drives;
  std::vector<wchar_t> buffer(need + 1, L'\0');
  const DWORD got = GetLogicalDriveStringsW(need, buffer.data());
  if (got == 0 || got > need) return drives;
  // "A:\<NUL>C:\<NUL>...<NUL><NUL>"
  for (const wchar_t* p = buffer.data(); *p; p += wcslen(p) + 1) {
    const std::wstring root(p);
    if (root.size() < 3 || root[1] != L':') continue;
    const UINT type = GetDriveTypeW(root.c_str());
    if (type != DRIVE_REMOVABLE && type != DRIVE_FIXED) continue;
    std::wstring upper = root.substr(0, 3);
    upper[0] = static_cast<wchar_t>(towupper(upper[0]));
    LetterDrive d;
    d.rootText = win32::Utf8(upper);
    d.driveType = type == DRIVE_REMOVABLE ? 2 : 3;
    d.displayName = DisplayName(upper);
    d.sourcePath = "\\\\.\\" + win32::Utf8(upper.substr(0, 2));
    d.length = VolumeLength(L"\\\\.\\" + upper.substr(0, 2));
    d.identity = win32::Utf8(upper.substr(0, 2));
    drives.push_back(std::move(d));
  }
  return drives;
}

// The default selection is drive C:, as the drive box has always started.
std::string SystemVolumeIdentity() { return "C:"; }

}  // namespace vellum::platform
