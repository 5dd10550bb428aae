#include "content/cluster_follow.h"

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

}  // namespace vellum::content
