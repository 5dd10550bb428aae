// Which mounts lie on the source, from the kernel's mount table and, for
// FUSE drivers that name no device there, from the processes serving them.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/posix/source_set_members.h"

namespace vellum::platform {

namespace {

namespace fs = std::filesystem;

constexpr unsigned kMiscMajor = 10, kFuseMinor = 229;  // /dev/fuse

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

struct MountLine {
  dev_t device = 0;         // what stat shows for the files inside
  std::string mountPoint;
  std::string fsType;
  std::string source;       // a device or file path, or a driver's own word ("fusefat")
  bool Fuse() const { return fsType == "fuse" || fsType == "fuseblk" || fsType.starts_with("fuse."); }
  bool NamesPath() const { return !source.empty() && source[0] == '/'; }
};

// "36 25 7:0 / /mnt/card rw,relatime shared:1 - vfat /dev/loop0 rw,..."
bool ParseMountLine(const std::string& line, MountLine& m) {
  std::istringstream fields(line);
  std::string id, parent, number, root, point;
  unsigned maj = 0, min = 0;
  if (!(fields >> id >> parent >> number >> root >> point) || std::sscanf(number.c_str(), "%u:%u", &maj, &min) != 2)
    return false;
  m.device = makedev(maj, min);
  m.mountPoint = Unescape(point);
  const size_t dash = line.find(" - ");
  if (dash != std::string::npos) {
    std::istringstream tail(line.substr(dash + 3));
    tail >> m.fsType >> m.source;
    m.source = Unescape(m.source);
  }
  return true;
}

std::vector<MountLine> ReadMountTable(const std::string& mountinfo) {
  std::vector<MountLine> out;
  std::ifstream in(mountinfo);
  MountLine m;
  for (std::string line; std::getline(in, line);)
    if (ParseMountLine(line, m)) out.push_back(m);
  return out;
}

// Whether a device or file path of the mount table belongs to the source.
bool PathInSource(const SourceSet::Members& source, const std::string& path, bool volumeOnly) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  if (S_ISBLK(st.st_mode)) return volumeOnly ? source.ReachesVolume(st.st_rdev) : source.devices.count(st.st_rdev) != 0;
  return S_ISREG(st.st_mode) && source.files.count({st.st_dev, st.st_ino}) != 0;
}

// What an open file descriptor of a process is, as far as the mount check
// cares: /dev/fuse, or a device or regular file that may be part of the
// source. Sockets, pipes and the like are neither and are not looked at
// further; a descriptor we may not read about is neither too.
struct HeldFile {
  bool fuse = false;
  bool inSource = false;
  bool denied = false;  // so is every other descriptor of the process
};

HeldFile LookAtDescriptor(const SourceSet::Members& source, const fs::path& fd, bool volumeOnly) {
  HeldFile held;
  char link[PATH_MAX];
  const ssize_t n = ::readlink(fd.c_str(), link, sizeof link - 1);
  if (n < 0) {
    held.denied = errno == EACCES;
    return held;
  }
  const std::string_view target(link, static_cast<size_t>(n));
  if (target == "/dev/fuse") {
    held.fuse = true;
    return held;
  }
  for (std::string_view kind : {"socket:", "pipe:", "anon_inode:"})
    if (target.starts_with(kind)) return held;
  struct stat st {};
  if (::stat(fd.c_str(), &st) != 0) return held;
  if (S_ISCHR(st.st_mode)) held.fuse = major(st.st_rdev) == kMiscMajor && minor(st.st_rdev) == kFuseMinor;
  if (S_ISBLK(st.st_mode))
    held.inSource = volumeOnly ? source.ReachesVolume(st.st_rdev) : source.devices.count(st.st_rdev) != 0;
  if (S_ISREG(st.st_mode)) held.inSource = source.files.count({st.st_dev, st.st_ino}) != 0;
  return held;
}

// A FUSE driver serving the source: a process holding both /dev/fuse and a
// part of the source open (fusefat, for one, names no device in the mount
// table). Its mount is the folder on its command line, which shows the
// mounted file system's device number; `folders` gets those numbers, and
// stays empty when the driver names no folder.
bool ServesSource(const SourceSet::Members& source, const fs::path& process, bool volumeOnly,
                  std::vector<dev_t>& folders) {
  bool fuse = false, holdsSource = false;
  std::error_code ec;
  for (const auto& fd : fs::directory_iterator(process / "fd", ec)) {
    const HeldFile held = LookAtDescriptor(source, fd.path(), volumeOnly);
    fuse |= held.fuse;
    holdsSource |= held.inSource;
    if (held.denied) break;
  }
  if (!fuse || !holdsSource) return false;
  std::ifstream cmdline(process / "cmdline", std::ios::binary);
  for (std::string arg; std::getline(cmdline, arg, '\0');) {
    if (arg.empty() || arg[0] == '-') continue;
    // A folder named relative to the driver's working folder at its start.
    const fs::path folder = arg[0] == '/' ? fs::path(arg) : fs::read_symlink(process / "cwd", ec) / arg;
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) folders.push_back(st.st_dev);
  }
  return true;
}

// A FUSE mount is left by its user with fusermount, a kernel mount by umount.
SourceMount MountOf(const std::string& point, bool fuse) {
  std::string quoted = "'";
  for (char c : point) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  quoted += "'";
  return {point, (fuse ? "fusermount -u " : "umount ") + quoted};
}

}  // namespace

std::map<dev_t, SourceMount> MountsOfSource(const SourceSet::Members& source, bool volumeOnly) {
  std::map<dev_t, SourceMount> out;
  const std::vector<MountLine> table = ReadMountTable(source.tables.mountinfo);
  for (const MountLine& m : table) {
    const bool device = volumeOnly ? source.ReachesVolume(m.device) : source.devices.count(m.device) != 0;
    if (device || (m.NamesPath() && PathInSource(source, m.source, volumeOnly)))
      out.emplace(m.device, MountOf(m.mountPoint, m.Fuse()));
  }
  bool anyDriver = false, unnamedDriver = false;
  std::vector<dev_t> served;
  std::error_code ec;
  for (const auto& process : fs::directory_iterator(source.tables.proc, ec)) {
    const std::string pid = process.path().filename().string();
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::vector<dev_t> folders;
    if (!ServesSource(source, process.path(), volumeOnly, folders)) continue;
    anyDriver = true;
    unnamedDriver |= folders.empty();
    served.insert(served.end(), folders.begin(), folders.end());
  }
  for (const MountLine& m : table) {
    if (!m.Fuse() || m.NamesPath()) continue;
    bool ours = unnamedDriver;
    for (dev_t d : served) ours |= d == m.device;
    if (ours) out.emplace(m.device, MountOf(m.mountPoint, true));
  }
  // A driver that serves the source from a folder no mount line shows yet
  // (it is starting, or the table is another namespace's) still has it mounted.
  if (anyDriver && out.empty()) out.emplace(dev_t{0}, SourceMount{});
  return out;
}

}  // namespace vellum::platform
