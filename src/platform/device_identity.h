// Whether a path we are about to write lies on the volume being recovered.
// A restored file or a results file written there could overwrite the very
// clusters it came from, so the source is compared by identity, never by
// name: the same inode, a loop device over the source file, the source
// device, its partitions, the disk that holds it, the device-mapper devices
// stacked on or under it, and every mount (kernel or FUSE) of any of these.
#pragma once

#include <string>
#include <vector>

namespace vellum::platform {

enum class SourceRelation {
  kUnrelated,
  kOnSourceDrive,  // inside a file system on the source (a mount of it, or its device's file system)
  kIsSource,       // the source itself: the same file, or a device that holds its bytes
};

// Where the kernel keeps what the check reads; parameters for tests.
struct IdentityTables {
  std::string mountinfo = "/proc/self/mountinfo";
  std::string sysBlock = "/sys/class/block";
};

// How `target` (a file or folder to be written, which need not exist yet)
// relates to the source read from `sources` (the device node or image file,
// plus any further files an image is made of).
SourceRelation RelationToSource(const std::string& target, const std::vector<std::string>& sources,
                                const IdentityTables& tables = {});

// Kept for callers that only ask "on the source drive or the source itself".
inline bool IsOnSourceDevice(const std::string& target, const std::string& source) {
  return RelationToSource(target, {source}) != SourceRelation::kUnrelated;
}

}  // namespace vellum::platform
