// Whether complete deletion would fight a mounted file system, on Windows. A
// lettered volume (\\.\E:) is locked and dismounted when it is opened for
// writing, or the opening is refused (block_device_win32.cpp), so it counts
// as not mounted here. A whole disk cannot be dismounted as one: it is
// mounted while any lettered volume lies on it.
#include "platform/mount_check.h"

#include <windows.h>
#include <winioctl.h>

#include <vector>

#include "platform/win32/physical_drive.h"
#include "platform/win32/wide.h"

namespace vellum::platform {

namespace {

bool VolumeOnDisk(wchar_t letter, DWORD disk) {
  const std::wstring device = std::wstring(L"\\\\.\\") + letter + L":";
  HANDLE h = CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  alignas(8) unsigned char buffer[sizeof(VOLUME_DISK_EXTENTS) + 16 * sizeof(DISK_EXTENT)] = {};
  DWORD n = 0;
  bool on = false;
  if (DeviceIoControl(h, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, buffer, sizeof buffer, &n, nullptr)) {
    const auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(buffer);
    const DWORD count = std::min<DWORD>(extents->NumberOfDiskExtents, 17);
    for (DWORD i = 0; i < count; ++i) on |= extents->Extents[i].DiskNumber == disk;
  }
  CloseHandle(h);
  return on;
}

}  // namespace

bool IsSourceMounted(const std::string& sourcePath, const std::string&) {
  DWORD disk = 0;
  static constexpr std::string_view kDevicePrefix = "\\\\.\\";
  if (!sourcePath.starts_with(kDevicePrefix) ||
      !ParsePhysicalDriveNumber(std::string_view(sourcePath).substr(kDevicePrefix.size()), disk))
    return false;
  const DWORD letters = GetLogicalDrives();
  for (int i = 0; i < 26; ++i)
    if ((letters & (1u << i)) && VolumeOnDisk(static_cast<wchar_t>(L'A' + i), disk)) return true;
  return false;
}

}  // namespace vellum::platform
