#include "platform/system_drives.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace vellum::platform {

std::vector<LetterDrive> ListLetterDrives() { return {}; }

std::string SystemVolumeIdentity() {
  struct stat st {};
  if (::stat("/", &st) != 0) return {};
  return std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
}

}  // namespace vellum::platform
