// The drives the system itself names. On Linux the drive table reads the
// block devices from sysfs (volume/drives.cpp) and the system names none by
// letter; on Windows these are the logical drives, C:\ and the rest.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vellum::platform {

struct LetterDrive {
  std::string rootText;     // "C:\"
  int32_t driveType = 3;    // 2 removable, 3 fixed: the system's drive-type codes
  std::string displayName;  // the volume's label with the letter, as the shell shows it
  std::string sourcePath;   // the raw volume, "\\.\C:"
  uint64_t length = 0;      // bytes, when the volume tells; 0 otherwise
  std::string identity;     // "C:", compared with SystemVolumeIdentity()
};

// Whether the system's block devices are read from sysfs for the drive table.
// Not on Windows, where a path like /sys/class/block can still name a folder
// (under Wine, the Linux host's).
#ifdef _WIN32
inline constexpr bool kBlockDevicesFromSysfs = false;
#else
inline constexpr bool kBlockDevicesFromSysfs = true;
#endif

// In the order the system gives them (alphabetical); drive types other than
// removable and fixed are not listed. Empty on Linux.
std::vector<LetterDrive> ListLetterDrives();

// The identity of the volume the running system lives on: "MAJ:MIN" of the
// root file system's device on Linux, "C:" on Windows. Empty when unknown.
std::string SystemVolumeIdentity();

}  // namespace vellum::platform
