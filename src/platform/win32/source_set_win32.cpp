// The source set on Windows: the same file (volume serial and file index),
// the raw volume itself, any path on that volume (its volume GUID), and for
// a whole disk every volume on it. A lettered volume (\\.\E:) is locked and
// dismounted when complete deletion opens it for writing, or the opening is
// refused (block_device_win32.cpp), so it never counts as mounted here; a
// whole disk cannot be dismounted as one: it is mounted while a lettered
// volume lies on the part of it that holds the source volume.
#include "platform/source_set.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
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

struct Extent {
  DWORD disk = 0;
  uint64_t offset = 0, length = 0;
};

// Where on which disks a volume lies (`device` without the final '\').
std::vector<Extent> ExtentsOfVolume(std::wstring device) {
  std::vector<Extent> out;
  if (!device.empty() && device.back() == L'\\') device.pop_back();
  HANDLE h = CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return out;
  alignas(8) unsigned char buffer[sizeof(VOLUME_DISK_EXTENTS) + 16 * sizeof(DISK_EXTENT)] = {};
  DWORD n = 0;
  if (DeviceIoControl(h, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, buffer, sizeof buffer, &n, nullptr)) {
    const auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(buffer);
    const DWORD count = std::min<DWORD>(extents->NumberOfDiskExtents, 17);
    for (DWORD i = 0; i < count; ++i)
      out.push_back({extents->Extents[i].DiskNumber, static_cast<uint64_t>(extents->Extents[i].StartingOffset.QuadPart),
                     static_cast<uint64_t>(extents->Extents[i].ExtentLength.QuadPart)});
  }
  CloseHandle(h);
  return out;
}

std::string UpperDevice(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return path;
}

bool LetteredVolume(const std::string& name) { return name.size() == 2 && name[1] == ':'; }

}  // namespace

struct SourceSet::Members {
  std::set<FileId> files;
  std::set<std::wstring> volumes;
  std::set<DWORD> disks;
  std::set<std::string> devices;
  uint64_t offset = 0, length = 0;  // the volume's part of a whole disk; length 0: all of it

  bool Empty() const { return files.empty() && volumes.empty() && disks.empty() && devices.empty(); }
  bool OnSourceDisk(const std::wstring& volume) const {
    for (const Extent& e : ExtentsOfVolume(volume))
      if (disks.count(e.disk)) return true;
    return false;
  }
};

SourceSet::SourceSet() = default;
SourceSet::~SourceSet() = default;
SourceSet::SourceSet(const SourceSet&) = default;
SourceSet& SourceSet::operator=(const SourceSet&) = default;

SourceSet::SourceSet(const SourceParts& parts) {
  auto set = std::make_shared<Members>();
  set->offset = parts.offset;
  set->length = parts.length;
  for (const std::string& s : parts.paths) {
    if (win32::IsRawDevicePath(s)) {
      set->devices.insert(UpperDevice(s));
      const std::string name = s.substr(4);
      DWORD disk = 0;
      if (LetteredVolume(name)) {
        const std::wstring guid = VolumeGuid(win32::Wide(name + "\\"));
        if (!guid.empty()) set->volumes.insert(guid);
      } else if (ParsePhysicalDriveNumber(name, disk)) {
        set->disks.insert(disk);
      }
      continue;
    }
    FileId id;
    if (IdOf(s, id)) set->files.insert(id);
  }
  members_ = std::move(set);
}

SourceRelation SourceSet::Relation(const std::string& path) const {
  if (!members_ || members_->Empty()) return SourceRelation::kUnrelated;
  const Members& source = *members_;
  if (win32::IsRawDevicePath(path)) {
    // Another name for the same volume or disk is still the source.
    if (source.devices.count(UpperDevice(path))) return SourceRelation::kIsSource;
    const std::string name = path.substr(4);
    DWORD disk = 0;
    if (LetteredVolume(name)) {
      const std::wstring guid = VolumeGuid(win32::Wide(name + "\\"));
      if (source.volumes.count(guid) || source.OnSourceDisk(guid)) return SourceRelation::kIsSource;
    } else if (ParsePhysicalDriveNumber(name, disk) && source.disks.count(disk)) {
      return SourceRelation::kIsSource;
    }
    return SourceRelation::kUnrelated;
  }
  FileId id;
  if (IdOf(path, id) && source.files.count(id)) return SourceRelation::kIsSource;
  const std::wstring volume = VolumeOfPath(path);
  if (volume.empty()) return SourceRelation::kUnrelated;
  if (source.volumes.count(volume) || source.OnSourceDisk(volume)) return SourceRelation::kOnSourceDrive;
  return SourceRelation::kUnrelated;
}

std::vector<SourceMount> SourceSet::Mounts() const {
  std::vector<SourceMount> out;
  if (!members_ || members_->disks.empty()) return out;
  const Members& source = *members_;
  const uint64_t end = source.length ? source.offset + source.length : UINT64_MAX;
  const DWORD letters = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(letters & (1u << i))) continue;
    const std::string root = std::string(1, static_cast<char>('A' + i)) + ":\\";
    for (const Extent& e : ExtentsOfVolume(win32::Wide("\\\\.\\" + root.substr(0, 2))))
      if (source.disks.count(e.disk) && e.offset < end && source.offset < e.offset + e.length) {
        out.push_back({root, {}});
        break;
      }
  }
  return out;
}

}  // namespace vellum::platform
