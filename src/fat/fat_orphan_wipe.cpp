#include <vector>

#include "fat/cluster_scan.h"
#include "fat/directory_cluster.h"
#include "fat/fat_entry.h"
#include "fat/fat_walk.h"
#include "fat/wipe.h"
#include "volume/cancel.h"
#include "volume/sector_io.h"

namespace vellum::fat {

namespace {

bool HasDeletedEntry(ByteView cluster) {
  for (size_t at = 0; at + kEntryBytes <= cluster.size(); at += kEntryBytes) {
    if (cluster[at] == 0) return false;
    if (cluster[at] == kDeletedMark) return true;
  }
  return false;
}

// A free cluster the walk did not read, whose entries a free-cluster scan
// would list: only such a cluster is written, and only when every slot of it
// reads as a directory entry, so that no cluster of file data is ever touched.
bool IsOrphanedDirectoryCluster(const ScanState& state, FatWalk& walk, ByteView cluster) {
  return HasDeletedEntry(cluster) && IsDirectoryCluster(cluster, state.lastCluster) &&
         walk.ScannedClusterListsEntry(cluster);
}

}  // namespace

void WipeOrphanedFatDirectories(ScanState& state) {
  if (state.clusterBytes == 0 || state.lastCluster < 2) return;
  Progress* progress = state.progress;
  if (progress) {
    progress->OpenProgress();
    progress->StartPhase(kClusterCaption, state.lastCluster);
    progress->ShowFileLabel();
  }
  FatWalk walk(state);
  std::vector<uint8_t> fallback(state.clusterBytes), directory;
  {
    volume::ReadAheadScope readAhead(state);
    for (uint64_t j = 2; j <= state.lastCluster; ++j) {
      if (volume::ReadFatEntry(state, state.fat, j) == 0 && volume::ReadFatEntry(state, state.fatWork, j) == 0) {
        const ByteView cluster = volume::ViewCluster(state, j, fallback, volume::kScanView);
        if (IsOrphanedDirectoryCluster(state, walk, cluster)) {
          directory.assign(cluster.begin(), cluster.end());  // the view ends with the first write
          WipeDeletedFatEntries(state, volume::ClusterToSector(state, j), directory);
        }
      }
      if (volume::CancelledAt(state, j, ClusterUpdateDue(j, 2, state.lastCluster))) break;
    }
  }
  if (progress) progress->CloseProgress();
}

}  // namespace vellum::fat
