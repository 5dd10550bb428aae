#include "platform/stream_names.h"

#include <sys/vfs.h>

namespace vellum::platform {

namespace {

// The file systems that refuse ':' in a name, by their statfs magic: vfat,
// exfat (the kernel's), ntfs3, and FUSE (exfat-fuse refuses it, and ntfs-3g
// does with windows_names; nothing tells them apart here).
constexpr unsigned long kRefusing[] = {0x4d44, 0x2011BAB0, 0x7366746e, 0x65735546};

}  // namespace

bool FolderTakesStreamNames(const std::string& folder) {
  struct statfs info {};
  if (statfs(folder.c_str(), &info) != 0) return true;  // the write itself will tell
  const auto type = static_cast<unsigned long>(info.f_type);
  for (unsigned long refusing : kRefusing)
    if (type == refusing) return false;
  return true;
}

}  // namespace vellum::platform
