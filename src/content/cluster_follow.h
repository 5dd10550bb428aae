// Which clusters a lost file is taken to occupy. A deleted file (first cluster
// free) is assumed to fill the free clusters that follow its first one in
// ascending order, skipping clusters in use; a file whose first cluster is in
// use (found by a full cluster scan) is taken to be contiguous.
#pragma once

#include <cstdint>

#include "restore/restored_file.h"
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

// Writes the `size` bytes of a lost file beginning at `firstCluster` into
// `file`, cluster by cluster along the rule above: free clusters only when
// the first is free, else consecutive ones. On NTFS the cluster bitmap must
// be loaded. False when a write failed or Cancel stopped it.
bool CopyFollowedClusters(volume::ScanState& state, restore::RestoredFile& file, uint64_t firstCluster,
                          uint64_t size);

}  // namespace vellum::content
