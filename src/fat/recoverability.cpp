#include "fat/recoverability.h"

#include <algorithm>

#include "fat/cluster_runs.h"
#include "fat/fat_restore.h"
#include "volume/sector_io.h"

namespace vellum::fat {

namespace {

bool InUse(const ScanState& s, uint64_t cluster) {
  return s.fsKind == volume::kExfat ? IsExfatEntryInUse(s, cluster) : IsFatEntryInUse(s, cluster);
}

// A FAT file's run is free clusters only when its first is free: then all
// of it is, by the rule that predicts it.
volume::Recoverability FatFile(const ScanState& s, const FoundEntry& e, uint64_t clusters) {
  const bool firstInUse = IsFatEntryInUse(s, e.firstCluster);
  return volume::RecoverabilityOf(firstInUse, firstInUse ? clusters : 0, clusters, false);
}

volume::Recoverability ExfatFile(const ScanState& s, const FoundEntry& e, uint64_t clusters) {
  DeletedExfatRun run(s, e.firstCluster, e.fatChain ? 1 : 0);
  uint64_t taken = 0, inUse = 0;
  bool predicted = false;
  for (DeletedExfatRun::Step step; taken < clusters && run.Next(step); ++taken) {
    inUse += step.source == DeletedExfatRun::Source::kInUse;
    predicted |= step.source == DeletedExfatRun::Source::kPredicted;
  }
  // A run that ends before the size is covered leaves the rest unknown.
  return volume::RecoverabilityOf(InUse(s, e.firstCluster), inUse, clusters, predicted || taken < clusters);
}

// Whether the clusters from `first` on lie wholly in a hole of a sparse
// image: what a restore would read there is zeros, never the file.
bool InImageHoles(const ScanState& s, uint64_t first, uint64_t clusters) {
  if (!s.volumeHandle || clusters == 0) return false;
  const uint64_t at = volume::ClusterToSector(s, first) * s.bytesPerSector;
  const uint64_t length = std::min<uint64_t>(clusters, s.lastCluster - first + 1) * s.clusterBytes;
  const auto [dataFirst, dataEnd] = s.volumeHandle->DataExtentFrom(at);
  if (dataEnd <= at) return true;  // no data from here to the end
  return dataFirst >= at && dataFirst - at >= length;
}

}  // namespace

volume::Recoverability EntryRecoverability(const ScanState& s, const FoundEntry& e) {
  const bool valid = e.firstCluster >= 2 && e.firstCluster <= s.lastCluster;
  if (e.isFolder || e.size == 0 || !valid || s.clusterBytes == 0) {
    if (!valid) return volume::RecoverabilityOf(false, 0, 0, e.size != 0 || e.isFolder);
    return volume::RecoverabilityOf(InUse(s, e.firstCluster), 0, 1, false);
  }
  const uint64_t clusters = (e.size + s.clusterBytes - 1) / s.clusterBytes;
  volume::Recoverability r = s.fsKind == volume::kExfat ? ExfatFile(s, e, clusters) : FatFile(s, e, clusters);
  if (r.state == volume::RowState::kIntact || r.state == volume::RowState::kUnknown) {
    if (RunsPastVolumeEnd(s, e)) r.state = volume::RowState::kPastVolumeEnd;
    else if (InImageHoles(s, e.firstCluster, clusters)) r.state = volume::RowState::kReadAsZeros;
  }
  return r;
}

}  // namespace vellum::fat
