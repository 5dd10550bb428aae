#include "volume/drives.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

#include "platform/images/open_image.h"
#include "platform/system_drives.h"
#include "volume/boot_sector.h"
#include "volume/partition_table.h"
#include "volume/scan_state.h"
#include "volume/source.h"

namespace vellum::volume {

namespace {

namespace fs = std::filesystem;

// sysfs counts sizes in 512-byte units whatever the device's sector size.
constexpr uint64_t kSysfsSectorBytes = 512;
// An extended partition shows up as a partition of one or two sectors: it
// only holds the chain of boot records, never a file system.
constexpr uint64_t kLargestContainerStub = 2 * kSysfsSectorBytes;

std::string ReadSysText(const fs::path& file) {
  std::ifstream in(file);
  std::string text;
  std::getline(in, text);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  return text;
}

uint64_t ReadSysNumber(const fs::path& file) {
  const std::string text = ReadSysText(file);
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || value > (UINT64_MAX - 9) / 10) return 0;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// CD-ROMs and memory-backed disks are never offered.
bool NeverListed(const std::string& name) {
  return StartsWith(name, "sr") || StartsWith(name, "ram") || StartsWith(name, "zram");
}

bool DirectoryHasEntries(const fs::path& dir) {
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  return !ec && it != fs::directory_iterator();
}

// A disk with partitions is offered through them, not as a whole.
bool HasPartitions(const fs::path& disk) {
  std::error_code ec;
  for (const auto& child : fs::directory_iterator(disk, ec)) {
    std::error_code childEc;
    if (child.is_directory(childEc) && fs::exists(child.path() / "partition", childEc)) return true;
  }
  return false;
}

// udev writes odd characters of a label as \xHH.
std::string DecodeUdevName(const std::string& name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
        std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
      out += static_cast<char>(std::stoi(name.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += name[i];
    }
  }
  return out;
}

// Kernel device name -> file-system label, from udev's /dev/disk/by-label.
std::map<std::string, std::string> ReadLabels(const std::string& devDir) {
  std::map<std::string, std::string> labels;
  std::error_code ec;
  for (const auto& link : fs::directory_iterator(fs::path(devDir) / "disk" / "by-label", ec)) {
    std::error_code linkEc;
    const fs::path target = fs::read_symlink(link.path(), linkEc);
    if (!linkEc) labels[target.filename().string()] = DecodeUdevName(link.path().filename().string());
  }
  return labels;
}

std::string DeviceModel(const fs::path& disk) {
  std::string vendor = ReadSysText(disk / "device" / "vendor");
  // virtio and NVMe give a PCI vendor number here, which tells nobody anything.
  if (StartsWith(vendor, "0x")) vendor.clear();
  const std::string model = ReadSysText(disk / "device" / "model");
  if (vendor.empty()) return model;
  return model.empty() ? vendor : vendor + " " + model;
}

std::string DisplayName(const std::string& name, const fs::path& real, const fs::path& disk,
                        const std::map<std::string, std::string>& labels) {
  std::string what;
  if (auto it = labels.find(name); it != labels.end()) what = it->second;
  if (what.empty()) what = ReadSysText(real / "dm" / "name");
  if (what.empty()) what = DeviceModel(disk);
  return what.empty() ? name : what + " (" + name + ")";
}

// "sda2" before "sda10": names sort as people read them.
bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (std::isdigit(static_cast<unsigned char>(a[i])) && std::isdigit(static_cast<unsigned char>(b[j]))) {
      size_t ie = i, je = j;
      while (ie < a.size() && std::isdigit(static_cast<unsigned char>(a[ie]))) ++ie;
      while (je < b.size() && std::isdigit(static_cast<unsigned char>(b[je]))) ++je;
      const std::string da = a.substr(i, ie - i), db = b.substr(j, je - j);
      if (da.size() != db.size()) return da.size() < db.size();
      if (da != db) return da < db;
      i = ie, j = je;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i, ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

bool DescribeBlockDevice(const fs::directory_entry& entry, const std::string& devDir,
                         const std::map<std::string, std::string>& labels, DriveEntry& out) {
  const std::string name = entry.path().filename().string();
  if (NeverListed(name)) return false;
  std::error_code ec;
  const fs::path real = fs::canonical(entry.path(), ec);
  if (ec) return false;
  const uint64_t size = ReadSysNumber(real / "size") * kSysfsSectorBytes;
  if (StartsWith(name, "loop") && size == 0) return false;
  // A member of a RAID set, an LVM volume group or an encrypted mapping is
  // searched through the volume built on it.
  if (DirectoryHasEntries(real / "holders")) return false;
  const bool isPartition = fs::exists(real / "partition", ec);
  if (!isPartition && HasPartitions(real)) return false;
  if (isPartition && size <= kLargestContainerStub) return false;

  const fs::path disk = isPartition ? real.parent_path() : real;
  out.rootText = RootText(name, 0);
  out.driveType = ReadSysText(disk / "removable") == "1" ? kDriveRemovable : kDriveFixed;
  out.displayName = DisplayName(name, real, disk, labels);
  out.sourcePath = (fs::path(devDir) / name).string();
  out.length = size;
  out.deviceNumber = ReadSysText(real / "dev");
  return true;
}

bool IsFloppy(const DriveEntry& entry) {
  // fd0 on Linux; A: and B: where drives have letters.
  return entry.driveType == kDriveRemovable && !entry.deviceNumber.empty() &&
         (StartsWith(entry.rootText, "fd") || StartsWith(entry.rootText, "A:") || StartsWith(entry.rootText, "B:"));
}

DriveEntry FromLetterDrive(const platform::LetterDrive& drive) {
  DriveEntry e;
  e.rootText = drive.rootText;
  e.driveType = drive.driveType;
  e.displayName = drive.displayName;
  e.sourcePath = drive.sourcePath;
  e.length = drive.length;
  e.deviceNumber = drive.identity;
  return e;
}

}  // namespace

std::vector<DriveEntry> ListBlockDevices(const std::string& sysfsBlock, const std::string& devDir) {
  std::vector<DriveEntry> drives;
  const auto labels = ReadLabels(devDir);
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(sysfsBlock, ec)) {
    DriveEntry drive;
    if (DescribeBlockDevice(entry, devDir, labels, drive)) drives.push_back(std::move(drive));
  }
  std::sort(drives.begin(), drives.end(),
            [](const DriveEntry& a, const DriveEntry& b) { return NaturalLess(a.rootText, b.rootText); });
  return drives;
}

bool AppendImage(DriveTable& table, const std::string& path, std::string& error) {
  auto opened = platform::OpenSourceFile(path);
  if (!opened.device) {
    error = opened.error;
    return false;
  }
  return AppendImage(table, path, *opened.device, opened.kind, ReadPartitionTable(*opened.device), error);
}

bool AppendImage(DriveTable& table, const std::string& path, platform::BlockDevice& whole,
                 const std::string& kind, const PartitionTable& partitions, std::string& error) {
  const std::string name = SourceName(path);
  DriveEntry base;
  base.driveType = kDriveFixed;
  base.sourcePath = path;
  base.containerKind = kind;
  // The container's format tells the user what the file was taken for.
  const std::string kindText = kind.empty() ? "" : " (" + kind + " image)";
  if (partitions.kind == TableKind::None) {
    base.rootText = RootText(name, 0);
    base.displayName = name + kindText;
    base.length = whole.Size();
    table.entries.push_back(base);
    return true;
  }
  size_t listed = 0;
  for (const Partition& p : partitions.partitions) {
    if (p.lengthBytes == 0) continue;  // keeps its number, but there is nothing to search
    DriveEntry e = base;
    e.rootText = RootText(name, p.number);
    e.displayName = name + " partition " + std::to_string(p.number) + kindText;
    e.partitionNumber = p.number;
    e.offset = p.startByte;
    e.length = p.lengthBytes;
    table.entries.push_back(e);
    ++listed;
  }
  if (listed == 0) error = path + ": パーティションテーブルに、イメージの中に収まるパーティションがありません。";
  return listed > 0;
}

int32_t DefaultDriveIndex(const std::vector<DriveEntry>& entries, const std::string& systemDevice) {
  for (const DriveEntry& e : entries)
    if (!systemDevice.empty() && e.deviceNumber == systemDevice) return e.index;
  return entries.empty() ? -1 : 0;
}

DriveTable EnumerateDrives(const DriveSources& sources) {
  DriveTable table;
  if (platform::kBlockDevicesFromSysfs) table.entries = ListBlockDevices(sources.sysfsBlock, sources.devDir);
  for (const platform::LetterDrive& drive : platform::ListLetterDrives()) table.entries.push_back(FromLetterDrive(drive));
  for (const std::string& image : sources.images) {
    std::string error;
    if (!AppendImage(table, image, error)) table.errors.push_back(error);
  }
  for (size_t i = 0; i < table.entries.size(); ++i) table.entries[i].index = static_cast<int32_t>(i);
  const std::string system = sources.systemDevice.empty() ? platform::SystemVolumeIdentity() : sources.systemDevice;
  table.defaultIndex = DefaultDriveIndex(table.entries, system);
  return table;
}

InUseOption InUseOptionFor(const DriveEntry& entry, platform::BlockDevice* device) {
  if (IsFloppy(entry)) return InUseOption::Enable;
  if (!device) return InUseOption::Keep;
  // An unreadable first sector is recognised as nothing, which is not NTFS.
  std::vector<uint8_t> sector(512);
  device->Read(0, sector);
  return RecognizeBootSector(sector) == kNtfs ? InUseOption::Disable : InUseOption::Enable;
}

InUseOption OnDriveSelected(const DriveEntry& entry) {
  if (IsFloppy(entry)) return InUseOption::Enable;
  auto opened = platform::OpenSourceFile(entry.sourcePath);
  if (!opened.device) return InUseOption::Keep;
  if (entry.partitionNumber == 0 && entry.offset == 0) return InUseOptionFor(entry, opened.device.get());
  platform::OffsetWindow window(std::move(opened.device), entry.offset, entry.length);
  return InUseOptionFor(entry, &window);
}

InUseOption OnDriveSelected(const ScanState& state, const DriveEntry& entry) {
  return state.isNt == 0 ? InUseOption::Keep : OnDriveSelected(entry);
}

}  // namespace vellum::volume
