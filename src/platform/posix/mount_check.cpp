#include "platform/mount_check.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace vellum::platform {

namespace {

namespace fs = std::filesystem;

std::string DeviceText(dev_t d) { return std::to_string(major(d)) + ":" + std::to_string(minor(d)); }

// "MAJ:MIN" of every mounted device (field 3 of each mountinfo line).
std::set<std::string> MountedDevices(const std::string& mountinfo) {
  std::set<std::string> devices;
  std::ifstream in(mountinfo);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string id, parent, device;
    if (fields >> id >> parent >> device) devices.insert(device);
  }
  return devices;
}

// The device itself and its partitions, as sysfs lists them.
std::set<std::string> DeviceAndPartitions(dev_t device) {
  std::set<std::string> out{DeviceText(device)};
  std::error_code ec;
  const fs::path dir = fs::canonical("/sys/dev/block/" + DeviceText(device), ec);
  if (ec) return out;
  for (const auto& child : fs::directory_iterator(dir, ec)) {
    std::ifstream dev(child.path() / "dev");
    std::string text;
    if (dev >> text && fs::exists(child.path() / "partition")) out.insert(text);
  }
  return out;
}

// Loop devices whose backing file is `image`.
std::set<std::string> LoopDevicesOf(const std::string& image) {
  std::set<std::string> out;
  std::error_code ec;
  const fs::path target = fs::canonical(image, ec);
  if (ec) return out;
  for (const auto& entry : fs::directory_iterator("/sys/block", ec)) {
    std::ifstream backing(entry.path() / "loop" / "backing_file");
    std::string file;
    if (!std::getline(backing, file) || fs::path(file) != target) continue;
    std::ifstream dev(entry.path() / "dev");
    std::string text;
    if (dev >> text) {
      unsigned maj = 0, min = 0;
      if (std::sscanf(text.c_str(), "%u:%u", &maj, &min) == 2)
        for (const std::string& d : DeviceAndPartitions(makedev(maj, min))) out.insert(d);
    }
  }
  return out;
}

}  // namespace

bool IsSourceMounted(const std::string& sourcePath, const std::string& mountinfo) {
  struct stat st {};
  if (::stat(sourcePath.c_str(), &st) != 0) return false;
  const std::set<std::string> candidates =
      S_ISBLK(st.st_mode) ? DeviceAndPartitions(st.st_rdev) : LoopDevicesOf(sourcePath);
  const std::set<std::string> mounted = MountedDevices(mountinfo);
  for (const std::string& d : candidates)
    if (mounted.count(d)) return true;
  return false;
}

}  // namespace vellum::platform
