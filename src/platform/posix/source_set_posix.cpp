// Building the source set on Linux from the kernel's block-device folder,
// and the question "is this path the source?".
#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/posix/source_set_members.h"

namespace vellum::platform {

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kSysfsSectorBytes = 512;  // sysfs counts start and size in 512-byte units

struct SysBlockEntry {
  dev_t device = 0;
  fs::path dir;  // the kernel's folder for it: /sys/devices/.../sdb/sdb1
  std::string name;
};

bool ParseDeviceNumber(const std::string& text, dev_t& device) {
  unsigned maj = 0, min = 0;
  if (std::sscanf(text.c_str(), "%u:%u", &maj, &min) != 2) return false;
  device = makedev(maj, min);
  return true;
}

uint64_t ReadNumber(const fs::path& file) {
  std::ifstream in(file);
  uint64_t n = 0;
  return in >> n ? n : 0;
}

// Every block device the kernel shows, by device number.
std::map<dev_t, SysBlockEntry> ReadSysBlock(const std::string& sysBlock) {
  std::map<dev_t, SysBlockEntry> out;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(sysBlock, ec)) {
    std::ifstream devFile(entry.path() / "dev");
    std::string text;
    SysBlockEntry e;
    if (!(devFile >> text) || !ParseDeviceNumber(text, e.device)) continue;
    std::error_code canonicalError;
    e.dir = fs::canonical(entry.path(), canonicalError);
    if (canonicalError) e.dir = entry.path();
    e.name = entry.path().filename().string();
    out[e.device] = e;
  }
  return out;
}

bool StatPath(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }

// The file a loop device reads, by its identity: the kernel tells the
// device and inode of the backing file it holds open, which stay right when
// the file's name was removed or replaced since (the path text in sysfs
// then names another file, or none). The device node is asked only once it
// is known to be that loop device; without the right to open it (and then
// without the right to write it either) the path text is what is left.
bool LoopBackingFile(dev_t device, const SysBlockEntry& e, Inode& file) {
  const std::string node = "/dev/" + e.name;
  const int fd = ::open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd >= 0) {
    struct stat st {};
    loop_info64 info {};
    const bool asked = ::fstat(fd, &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == device &&
                       ::ioctl(fd, LOOP_GET_STATUS64, &info) == 0;
    ::close(fd);
    if (asked) {
      // The kernel's own encoding of the number (major above bit 8, minor in the rest).
      const uint64_t d = info.lo_device;
      file = {makedev(static_cast<unsigned>((d & 0xfff00) >> 8), static_cast<unsigned>((d & 0xff) | ((d >> 12) & 0xfff00))),
              static_cast<ino_t>(info.lo_inode)};
      return true;
    }
  }
  std::ifstream backing(e.dir / "loop" / "backing_file");
  std::string path;
  struct stat st {};
  if (!std::getline(backing, path) || !StatPath(path, st) || !S_ISREG(st.st_mode)) return false;
  file = {st.st_dev, st.st_ino};
  return true;
}

class Builder {
 public:
  Builder(SourceSet::Members& set, const std::string& sysBlock) : set_(set), sys_(ReadSysBlock(sysBlock)) {}

  void Build(const SourceParts& parts) {
    for (size_t i = 0; i < parts.paths.size(); ++i) {
      struct stat st {};
      if (!StatPath(parts.paths[i], st)) continue;
      // Only the first path's bytes are the coordinates the volume's range is given in.
      const ByteRange whole{0, 0, i == 0};
      if (S_ISBLK(st.st_mode)) AddDevice(st.st_rdev, whole, true);
      else if (S_ISREG(st.st_mode)) AddFile({st.st_dev, st.st_ino}, i == 0);
    }
    // A device reached through a loop device or a stack can bring in more
    // files, and a file more loop devices: go on until nothing new appears.
    while (!pendingFiles_.empty() || !pendingDevices_.empty()) {
      if (!pendingFiles_.empty()) {
        const auto [file, primary] = *pendingFiles_.begin();
        pendingFiles_.erase(pendingFiles_.begin());
        AddLoopDevicesOver(file, primary);
      } else {
        const dev_t d = *pendingDevices_.begin();
        pendingDevices_.erase(pendingDevices_.begin());
        ExpandDevice(d);
      }
    }
  }

 private:
  void AddFile(const Inode& f, bool primary) {
    if (set_.files.insert(f).second) pendingFiles_.insert({f, primary});
  }

  // `expand`: also follow its partitions and stacks. The disk that holds a
  // partition is added without its other partitions, which are not the source.
  void AddDevice(dev_t d, const ByteRange& range, bool expand) {
    if (!set_.devices.emplace(d, range).second) return;
    if (expand) pendingDevices_.insert(d);
  }

  // A loop device over the first file holds its bytes from its offset on.
  void AddLoopDevicesOver(const Inode& f, bool primary) {
    std::error_code ec;
    for (const auto& [device, e] : sys_) {
      Inode backing;
      if (!fs::exists(e.dir / "loop", ec) || !LoopBackingFile(device, e, backing) || backing != f) continue;
      const ByteRange range{ReadNumber(e.dir / "loop" / "offset"), ReadNumber(e.dir / "loop" / "sizelimit"), primary};
      AddDevice(device, range, true);
    }
  }

  void AddNamed(const fs::path& folder) {
    std::error_code ec;
    for (const auto& link : fs::directory_iterator(folder, ec))
      for (const auto& [device, e] : sys_)
        if (e.name == link.path().filename().string()) AddDevice(device, {}, true);
  }

  void ExpandDevice(dev_t d) {
    const auto it = sys_.find(d);
    if (it == sys_.end()) return;
    const SysBlockEntry& self = it->second;
    const ByteRange range = set_.devices[d];
    std::error_code ec;
    for (const auto& [device, e] : sys_) {
      if (e.dir.parent_path() != self.dir || !fs::exists(e.dir / "partition", ec)) continue;
      const ByteRange part{range.offset + ReadNumber(e.dir / "start") * kSysfsSectorBytes,
                           ReadNumber(e.dir / "size") * kSysfsSectorBytes, range.known};
      AddDevice(device, part, true);
    }
    if (fs::exists(self.dir / "partition", ec))
      for (const auto& [device, e] : sys_)
        if (e.dir == self.dir.parent_path()) AddDevice(device, {}, false);
    AddNamed(self.dir / "slaves");
    AddNamed(self.dir / "holders");
    Inode backing;
    if (fs::exists(self.dir / "loop", ec) && LoopBackingFile(d, self, backing)) AddFile(backing, false);
  }

  SourceSet::Members& set_;
  std::map<dev_t, SysBlockEntry> sys_;
  std::set<std::pair<Inode, bool>> pendingFiles_;
  std::set<dev_t> pendingDevices_;
};

// The nearest existing folder at or above `path`.
bool NearestExisting(const std::string& path, struct stat& st) {
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  for (; !p.empty(); p = p.parent_path()) {
    if (::stat(p.c_str(), &st) == 0) return true;
    if (p == p.parent_path()) break;
  }
  return false;
}

}  // namespace

bool ByteRange::Overlaps(const ByteRange& other) const {
  if (!known || !other.known) return true;
  const auto endOf = [](const ByteRange& r) { return r.length ? r.offset + r.length : UINT64_MAX; };
  return offset < endOf(other) && other.offset < endOf(*this);
}

bool SourceSet::Members::ReachesVolume(dev_t device) const {
  const auto it = devices.find(device);
  return it != devices.end() && it->second.Overlaps(volume);
}

SourceSet::SourceSet() = default;
SourceSet::~SourceSet() = default;
SourceSet::SourceSet(const SourceSet&) = default;
SourceSet& SourceSet::operator=(const SourceSet&) = default;

SourceSet::SourceSet(const SourceParts& parts) : SourceSet(parts, SystemTables{}) {}

SourceSet::SourceSet(const SourceParts& parts, const SystemTables& tables) {
  auto set = std::make_shared<Members>();
  set->tables = tables;
  // A window is only meaningful in the bytes of one plain file or device.
  set->volume = {parts.offset, parts.length, parts.paths.size() == 1 && (parts.offset || parts.length)};
  Builder(*set, tables.sysBlock).Build(parts);
  members_ = std::move(set);
}

SourceRelation SourceSet::Relation(const std::string& path) const {
  if (!members_ || (members_->files.empty() && members_->devices.empty())) return SourceRelation::kUnrelated;
  const Members& source = *members_;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISREG(st.st_mode) && source.files.count({st.st_dev, st.st_ino})) return SourceRelation::kIsSource;
    if (S_ISBLK(st.st_mode) && source.devices.count(st.st_rdev)) return SourceRelation::kIsSource;
  }
  if (!NearestExisting(path, st)) return SourceRelation::kUnrelated;
  if (source.devices.count(st.st_dev)) return SourceRelation::kOnSourceDrive;
  if (MountsOfSource(source, false).count(st.st_dev)) return SourceRelation::kOnSourceDrive;
  return SourceRelation::kUnrelated;
}

std::vector<SourceMount> SourceSet::Mounts() const {
  std::vector<SourceMount> out;
  if (!members_) return out;
  for (const auto& [device, mount] : MountsOfSource(*members_, true)) out.push_back(mount);
  return out;
}

}  // namespace vellum::platform
