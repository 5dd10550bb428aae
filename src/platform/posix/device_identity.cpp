#include "platform/posix/device_identity.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <system_error>

namespace vellum::platform {

namespace {

namespace fs = std::filesystem;

// The device holding `path`, looked up on the nearest folder that exists.
bool DeviceOf(const std::string& path, dev_t& device) {
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  for (; !p.empty(); p = p.parent_path()) {
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0) {
      device = st.st_dev;
      return true;
    }
    if (p == p.parent_path()) break;
  }
  return false;
}

// The kernel's folder for a device number: /sys/devices/.../sdb/sdb1.
fs::path SysfsPathOf(dev_t device) {
  std::error_code ec;
  const fs::path link =
      "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
  return fs::canonical(link, ec);
}

}  // namespace

bool IsOnSourceDevice(const std::string& path, const std::string& sourcePath) {
  struct stat source {};
  if (::stat(sourcePath.c_str(), &source) != 0 || !S_ISBLK(source.st_mode)) return false;
  dev_t target = 0;
  if (!DeviceOf(path, target)) return false;
  if (target == source.st_rdev) return true;
  // A partition of the source disk lives below the disk's folder in sysfs.
  const fs::path disk = SysfsPathOf(source.st_rdev);
  const fs::path part = SysfsPathOf(target);
  if (disk.empty() || part.empty()) return false;
  const std::string d = disk.string() + "/";
  return part.string().starts_with(d);
}

}  // namespace vellum::platform
