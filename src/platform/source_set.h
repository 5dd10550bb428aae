// The one answer to "is this path the source?" and "is the source mounted?".
//
// A restored file or a results file written onto the volume being recovered
// could overwrite the very clusters it came from, and complete deletion must
// never fight a file system driver that has the volume mounted. Both
// questions are answered by identity, never by name, from one set built
// once from everything the source is made of: the device node or image
// file, every piece of a split image, every segment of an E01 set, every
// parent or base file of a VHD or qcow. From those the set reaches the loop
// and device-mapper devices over them, the partitions of a device, the disk
// that holds a partition, and every mount (kernel or FUSE) of any of these.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vellum::platform {

enum class SourceRelation {
  kUnrelated,
  kOnSourceDrive,  // inside a file system on the source (a mount of it, or its device's file system)
  kIsSource,       // the source itself: one of its files, or a device that holds its bytes
};

// What a source is made of. `offset` and `length` (0: to the end) are the
// part of the first path that holds the volume, a partition of a whole-disk
// image or device: a mount of another partition does not make it mounted.
struct SourceParts {
  std::vector<std::string> paths;
  uint64_t offset = 0;
  uint64_t length = 0;
};

// A mount of the source: where it is, and the command that unmounts it on
// this system (empty when there is none to give).
struct SourceMount {
  std::string mountPoint;  // empty when a driver serving the source names no folder
  std::string unmountCommand;
};

#ifndef _WIN32
// Where the kernel shows what the set reads; other folders for tests.
struct SystemTables {
  std::string mountinfo = "/proc/self/mountinfo";
  std::string sysBlock = "/sys/class/block";
  std::string proc = "/proc";
};
#endif

class SourceSet {
 public:
  SourceSet();  // no source: every path is unrelated, nothing is mounted
  explicit SourceSet(const SourceParts& parts);
#ifndef _WIN32
  SourceSet(const SourceParts& parts, const SystemTables& tables);
#endif
  ~SourceSet();
  SourceSet(const SourceSet&);
  SourceSet& operator=(const SourceSet&);

  // How `path` (a file or folder to be written, which need not exist yet)
  // relates to the source.
  SourceRelation Relation(const std::string& path) const;
  // Every mount of the source, by any route; empty when it is not mounted.
  // Read afresh at each call: mounts come and go.
  std::vector<SourceMount> Mounts() const;
  bool IsMounted() const { return !Mounts().empty(); }

  struct Members;

 private:
  std::shared_ptr<const Members> members_;
};

}  // namespace vellum::platform
