// qcow2 version 3 marks a cluster that reads as zeros with a flag in its L2
// entry instead of leaving it unallocated (qemu does so when it converts onto
// a backing file, or discards). The qcow library in Debian 12 does not know
// the flag and hands out whatever lies at file offset 0 (the header) for such
// a cluster: wrong bytes, reported as read. This finds those clusters
// itself, so the device can give zeros for them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/block_device.h"

namespace vellum::platform {

// Which guest clusters of a chain (child first, then its backing files)
// read as zeros through a zero flag: the first file of the chain that maps
// a cluster decides. Empty `zero` when no file uses the flag.
struct QcowZeroMap {
  uint64_t clusterBytes = 0;
  std::vector<bool> zero;
};

// False with `why` when a header or table is out of bounds.
bool FindQcowZeroClusters(const std::vector<std::string>& chain, uint64_t mediaSize, QcowZeroMap& map,
                          std::string& why);

// `inner` with the clusters of `map` reading as zeros.
std::unique_ptr<BlockDevice> WithZeroClusters(std::unique_ptr<BlockDevice> inner, QcowZeroMap map);

}  // namespace vellum::platform
