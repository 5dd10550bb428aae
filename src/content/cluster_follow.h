// Which clusters a lost file is taken to occupy. A deleted file (first cluster
// free) is assumed to fill the free clusters that follow its first one in
// ascending order, skipping clusters in use; a file whose first cluster is in
// use (found by a full cluster scan) is taken to be contiguous.
#pragma once

#include <cstdint>

#include "volume/scan_state.h"

namespace vellum::content {

// Every analyser reads the first 512 bytes of a cluster as a header; a
// geometry with smaller clusters is not one this program serves, and the
// analysers refuse it rather than read past a cluster.
inline constexpr uint32_t kMinClusterBytes = 512;

bool UsableGeometry(const volume::ScanState& state);

// followFree: whether the cluster is free on the disk. NTFS asks the cluster
// bitmap; FAT and exFAT ask the FAT (exFAT too, not its allocation bitmap).
bool IsClusterFree(const volume::ScanState& state, uint64_t cluster);

}  // namespace vellum::content
