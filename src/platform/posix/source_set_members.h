// What a POSIX source set holds, shared by the file that builds it and the
// file that reads the mount tables.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <set>
#include <utility>

#include "platform/source_set.h"

namespace vellum::platform {

using Inode = std::pair<dev_t, ino_t>;

// Bytes of the source's first file or device a device reaches, when known.
struct ByteRange {
  uint64_t offset = 0;
  uint64_t length = 0;  // 0: to the end
  bool known = false;

  bool Overlaps(const ByteRange& other) const;
};

struct SourceSet::Members {
  std::set<Inode> files;
  std::map<dev_t, ByteRange> devices;
  ByteRange volume;  // the part that holds the volume
  SystemTables tables;

  // Whether a device of the set holds bytes of the volume itself: a
  // partition beside it on the same disk does not.
  bool ReachesVolume(dev_t device) const;
};

// The device numbers of the file systems that lie on the source, and where
// each is mounted (mounts.cpp).
std::map<dev_t, SourceMount> MountsOfSource(const SourceSet::Members& source, bool volumeOnly);

}  // namespace vellum::platform
