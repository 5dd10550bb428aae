// Whether a path to be written lies on the source, on Windows: the same file
// (volume serial and file index), the raw volume itself, or any path on that
// volume (its volume GUID), and for a whole disk every volume on it.
#include "platform/device_identity.h"

#include <windows.h>
#include <winioctl.h>

#include <set>
#include <utility>

#include "platform/win32/physical_drive.h"
#include "platform/win32/wide.h"

namespace vellum::platform {

namespace {

using FileId = std::pair<DWORD, uint64_t>;  // volume serial, file index

bool IdOf(const std::string& path, FileId& id) {
  HANDLE h = CreateFileW(win32::LongPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (ok) id = {info.dwVolumeSerialNumber, (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  return ok;
}

// "\\?\Volume{...}\" of the volume mounted at `root` ("C:\"); empty when none.
std::wstring VolumeGuid(const std::wstring& root) {
  wchar_t name[MAX_PATH] = {};
  if (!GetVolumeNameForVolumeMountPointW(root.c_str(), name, MAX_PATH)) return {};
  return name;
}

// The volume that holds `path`, from its nearest existing folder.
std::wstring VolumeOfPath(const std::string& path) {
  std::wstring full = win32::LongPath(path);
  wchar_t root[MAX_PATH] = {};
  for (;;) {
    if (GetFileAttributesW(full.c_str()) != INVALID_FILE_ATTRIBUTES &&
        GetVolumePathNameW(full.c_str(), root, MAX_PATH))
      return VolumeGuid(root);
    const size_t slash = full.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash < 7) return {};
    full.resize(slash);
  }
}

// The disk numbers a volume lies on.
std::set<DWORD> DisksOfVolume(const std::wstring& volumeGuid) {
  std::set<DWORD> disks;
  std::wstring device = volumeGuid;
  if (!device.empty() && device.back() == L'\\') device.pop_back();
  HANDLE h = CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return disks;
  alignas(8) unsigned char buffer[sizeof(VOLUME_DISK_EXTENTS) + 16 * sizeof(DISK_EXTENT)] = {};
  DWORD n = 0;
  if (DeviceIoControl(h, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, buffer, sizeof buffer, &n, nullptr)) {
    const auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(buffer);
    const DWORD count = std::min<DWORD>(extents->NumberOfDiskExtents, 17);
    for (DWORD i = 0; i < count; ++i) disks.insert(extents->Extents[i].DiskNumber);
  }
  CloseHandle(h);
  return disks;
}

std::string UpperDevice(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return path;
}

}  // namespace

SourceRelation RelationToSource(const std::string& target, const std::vector<std::string>& sources,
                                const IdentityTables&) {
  std::set<FileId> files;
  std::set<std::wstring> volumes;
  std::set<DWORD> disks;
  std::set<std::string> devices;
  for (const std::string& s : sources) {
    if (win32::IsRawDevicePath(s)) {
      devices.insert(UpperDevice(s));
      const std::string name = s.substr(4);
      DWORD disk = 0;
      if (name.size() == 2 && name[1] == ':') {
        const std::wstring guid = VolumeGuid(win32::Wide(name + "\\"));
        if (!guid.empty()) volumes.insert(guid);
      } else if (ParsePhysicalDriveNumber(name, disk)) {
        disks.insert(disk);
      }
      continue;
    }
    FileId id;
    if (IdOf(s, id)) files.insert(id);
  }
  if (files.empty() && volumes.empty() && disks.empty() && devices.empty()) return SourceRelation::kUnrelated;
  if (win32::IsRawDevicePath(target)) {
    // Another name for the same volume or disk is still the source.
    if (devices.count(UpperDevice(target))) return SourceRelation::kIsSource;
    const std::string name = target.substr(4);
    DWORD disk = 0;
    if (name.size() == 2 && name[1] == ':') {
      const std::wstring guid = VolumeGuid(win32::Wide(name + "\\"));
      if (volumes.count(guid)) return SourceRelation::kIsSource;
      for (DWORD d : DisksOfVolume(guid))
        if (disks.count(d)) return SourceRelation::kIsSource;
    } else if (ParsePhysicalDriveNumber(name, disk) && disks.count(disk)) {
      return SourceRelation::kIsSource;
    }
    return SourceRelation::kUnrelated;
  }
  FileId id;
  if (IdOf(target, id) && files.count(id)) return SourceRelation::kIsSource;
  const std::wstring volume = VolumeOfPath(target);
  if (volume.empty()) return SourceRelation::kUnrelated;
  if (volumes.count(volume)) return SourceRelation::kOnSourceDrive;
  for (DWORD d : DisksOfVolume(volume))
    if (disks.count(d)) return SourceRelation::kOnSourceDrive;
  return SourceRelation::kUnrelated;
}

}  // namespace vellum::platform
