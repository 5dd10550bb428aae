#include "platform/device_identity.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <system_error>
#include <utility>

namespace vellum::platform {

namespace {

namespace fs = std::filesystem;

using Inode = std::pair<dev_t, ino_t>;

struct SysBlockEntry {
  dev_t device = 0;
  fs::path dir;  // the kernel's folder for it: /sys/devices/.../sdb/sdb1
  std::string name;
};

// Every block device the kernel shows, by device number.
std::map<dev_t, SysBlockEntry> ReadSysBlock(const std::string& sysBlock) {
  std::map<dev_t, SysBlockEntry> out;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(sysBlock, ec)) {
    std::ifstream devFile(entry.path() / "dev");
    std::string text;
    unsigned maj = 0, min = 0;
    if (!(devFile >> text) || std::sscanf(text.c_str(), "%u:%u", &maj, &min) != 2) continue;
    SysBlockEntry e;
    e.device = makedev(maj, min);
    e.dir = fs::canonical(entry.path(), ec);
    if (ec) e.dir = entry.path();
    e.name = entry.path().filename().string();
    out[e.device] = e;
  }
  return out;
}

bool StatInode(const std::string& path, Inode& inode, struct stat& st) {
  if (::stat(path.c_str(), &st) != 0) return false;
  inode = {st.st_dev, st.st_ino};
  return true;
}

// What the source is made of: the files holding its bytes and the block
// devices through which those bytes can be written.
struct SourceSet {
  std::set<Inode> files;
  std::set<dev_t> devices;
};

class SourceSetBuilder {
 public:
  explicit SourceSetBuilder(const std::string& sysBlock) : sys_(ReadSysBlock(sysBlock)) {}

  SourceSet Build(const std::vector<std::string>& sources) {
    for (const std::string& s : sources) {
      struct stat st {};
      Inode inode;
      if (!StatInode(s, inode, st)) continue;
      if (S_ISBLK(st.st_mode)) AddDevice(st.st_rdev, true);
      else if (S_ISREG(st.st_mode)) AddFile(inode);
    }
    // A device reached through a loop device or a stack can bring in more
    // files, and a file more loop devices: go on until nothing new appears.
    while (!pendingDevices_.empty() || !pendingFiles_.empty()) {
      if (!pendingFiles_.empty()) {
        const Inode f = *pendingFiles_.begin();
        pendingFiles_.erase(pendingFiles_.begin());
        AddLoopDevicesOver(f);
      } else {
        const dev_t d = *pendingDevices_.begin();
        pendingDevices_.erase(pendingDevices_.begin());
        ExpandDevice(d);
      }
    }
    return set_;
  }

 private:
  void AddFile(const Inode& f) {
    if (set_.files.insert(f).second) pendingFiles_.insert(f);
  }

  // `expand`: also follow its partitions and stacks. The disk that holds a
  // partition is added without its other partitions, which are not the source.
  void AddDevice(dev_t d, bool expand) {
    if (!set_.devices.insert(d).second) return;
    if (expand) pendingDevices_.insert(d);
  }

  void AddLoopDevicesOver(const Inode& f) {
    for (const auto& [device, e] : sys_) {
      std::ifstream backing(e.dir / "loop" / "backing_file");
      std::string file;
      if (!std::getline(backing, file)) continue;
      Inode inode;
      struct stat st {};
      if (StatInode(file, inode, st) && inode == f) AddDevice(device, true);
    }
  }

  void AddNamed(const fs::path& folder) {
    std::error_code ec;
    for (const auto& link : fs::directory_iterator(folder, ec))
      for (const auto& [device, e] : sys_)
        if (e.name == link.path().filename().string()) AddDevice(device, true);
  }

  void ExpandDevice(dev_t d) {
    const auto it = sys_.find(d);
    if (it == sys_.end()) return;
    const SysBlockEntry& self = it->second;
    std::error_code ec;
    for (const auto& [device, e] : sys_)
      if (e.dir.parent_path() == self.dir && fs::exists(e.dir / "partition", ec)) AddDevice(device, true);
    if (fs::exists(self.dir / "partition", ec))
      for (const auto& [device, e] : sys_)
        if (e.dir == self.dir.parent_path()) AddDevice(device, false);
    AddNamed(self.dir / "slaves");
    AddNamed(self.dir / "holders");
    std::ifstream backing(self.dir / "loop" / "backing_file");
    std::string file;
    Inode inode;
    struct stat st {};
    if (std::getline(backing, file) && StatInode(file, inode, st) && S_ISREG(st.st_mode)) AddFile(inode);
  }

  std::map<dev_t, SysBlockEntry> sys_;
  SourceSet set_;
  std::set<Inode> pendingFiles_;
  std::set<dev_t> pendingDevices_;
};

// mountinfo escapes blanks and backslashes in paths as \ooo.
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const std::string octal = i + 3 < text.size() ? text.substr(i + 1, 3) : std::string();
    if (text[i] == '\\' && octal.size() == 3 && octal.find_first_not_of("01234567") == std::string::npos) {
      out += static_cast<char>(std::stoi(octal, nullptr, 8));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

// FUSE drivers serving the source: processes holding both /dev/fuse and a
// part of the source open (fusefat, for one, names no device in the mount
// table). A driver's mount is the folder on its command line, which now
// shows the mounted file system's device number. `anyDriver` is set when a
// driver names no folder at all.
std::set<dev_t> FuseMountsOfSource(const SourceSet& source, bool& anyDriver) {
  std::set<dev_t> out;
  std::error_code ec;
  for (const auto& proc : fs::directory_iterator("/proc", ec)) {
    const std::string pid = proc.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    bool fuse = false, holdsSource = false;
    std::error_code fdError;
    for (const auto& fd : fs::directory_iterator(proc.path() / "fd", fdError)) {
      struct stat st {};
      if (::stat(fd.path().c_str(), &st) != 0) continue;
      if (S_ISCHR(st.st_mode) && major(st.st_rdev) == 10 && minor(st.st_rdev) == 229) fuse = true;
      if (S_ISBLK(st.st_mode) && source.devices.count(st.st_rdev)) holdsSource = true;
      if (S_ISREG(st.st_mode) && source.files.count({st.st_dev, st.st_ino})) holdsSource = true;
    }
    if (!fuse || !holdsSource) continue;
    bool named = false;
    std::ifstream cmdline(proc.path() / "cmdline", std::ios::binary);
    for (std::string arg; std::getline(cmdline, arg, '\0');) {
      struct stat st {};
      if (arg.empty() || arg[0] != '/' || ::stat(arg.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
      out.insert(st.st_dev);
      named = true;
    }
    anyDriver |= !named;
  }
  return out;
}

// The device numbers (as st_dev of the files inside) of every mount whose
// backing device or file belongs to the source. FUSE mounts show an
// anonymous device number of their own and name their source after " - ".
std::set<dev_t> SourceMounts(const SourceSet& source, const std::string& mountinfo) {
  std::set<dev_t> out, unnamedFuse;
  std::ifstream in(mountinfo);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string id, parent, number;
    unsigned maj = 0, min = 0;
    if (!(fields >> id >> parent >> number) || std::sscanf(number.c_str(), "%u:%u", &maj, &min) != 2) continue;
    const dev_t mounted = makedev(maj, min);
    const size_t dash = line.find(" - ");
    std::string fsType, mountSource;
    if (dash != std::string::npos) {
      std::istringstream tail(line.substr(dash + 3));
      tail >> fsType >> mountSource;
    }
    bool related = source.devices.count(mounted) != 0;
    struct stat st {};
    Inode inode;
    if (!related && !mountSource.empty() && mountSource[0] == '/' &&
        StatInode(Unescape(mountSource), inode, st))
      related = S_ISBLK(st.st_mode) ? source.devices.count(st.st_rdev) != 0 : source.files.count(inode) != 0;
    if (related) out.insert(mounted);
    else if (fsType.starts_with("fuse") && (mountSource.empty() || mountSource[0] != '/')) unnamedFuse.insert(mounted);
  }
  bool anyDriver = false;
  const std::set<dev_t> served = FuseMountsOfSource(source, anyDriver);
  for (dev_t d : unnamedFuse)
    if (anyDriver || served.count(d)) out.insert(d);
  return out;
}

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

SourceRelation RelationToSource(const std::string& target, const std::vector<std::string>& sources,
                                const IdentityTables& tables) {
  const SourceSet source = SourceSetBuilder(tables.sysBlock).Build(sources);
  if (source.files.empty() && source.devices.empty()) return SourceRelation::kUnrelated;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    if (S_ISREG(st.st_mode) && source.files.count({st.st_dev, st.st_ino})) return SourceRelation::kIsSource;
    if (S_ISBLK(st.st_mode) && source.devices.count(st.st_rdev)) return SourceRelation::kIsSource;
  }
  if (!NearestExisting(target, st)) return SourceRelation::kUnrelated;
  if (source.devices.count(st.st_dev)) return SourceRelation::kOnSourceDrive;
  if (SourceMounts(source, tables.mountinfo).count(st.st_dev)) return SourceRelation::kOnSourceDrive;
  return SourceRelation::kUnrelated;
}

}  // namespace vellum::platform
