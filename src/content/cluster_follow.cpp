#include "content/cluster_follow.h"

#include <algorithm>
#include <vector>

#include "restore/cluster_transfer.h"
#include "volume/cancel.h"
#include "volume/sector_io.h"

namespace vellum::content {

bool UsableGeometry(const volume::ScanState& state) {
  return state.clusterBytes >= kMinClusterBytes && state.bytesPerSector != 0 &&
         uint64_t{state.sectorsPerCluster} * state.bytesPerSector == state.clusterBytes;
}

bool IsClusterFree(const volume::ScanState& state, uint64_t cluster) {
  switch (state.fsKind) {
    case volume::kNtfs: return !volume::IsNtfsClusterUsed(state, cluster);
    case volume::kFat12:
    case volume::kFat16:
    case volume::kFat32:
    case volume::kExfat: return volume::ReadFatEntry(state, state.fat, cluster) == 0;
    default: return false;
  }
}

bool CopyFollowedClusters(volume::ScanState& s, restore::RestoredFile& file, uint64_t first, uint64_t size) {
  const bool followFree = IsClusterFree(s, first);
  restore::ClusterTransfer transfer(s, file);
  uint64_t cluster = first, left = size;
  while (left > 0 && cluster != 0 && cluster <= s.lastCluster) {
    if (volume::CancelRequested(s)) return false;
    const uint64_t chunk = std::min<uint64_t>(left, s.clusterBytes);
    if (!transfer.Add(cluster, chunk)) return false;
    left -= chunk;
    if (!volume::NextCandidateCluster(s, cluster, followFree)) break;
  }
  return transfer.Flush();
}

}  // namespace vellum::content
