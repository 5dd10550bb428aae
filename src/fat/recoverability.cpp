#include "fat/recoverability.h"

#include "fat/cluster_runs.h"
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

}  // namespace

volume::Recoverability EntryRecoverability(const ScanState& s, const FoundEntry& e) {
  const bool valid = e.firstCluster >= 2 && e.firstCluster <= s.lastCluster;
  if (e.isFolder || e.size == 0 || !valid || s.clusterBytes == 0) {
    if (!valid) return volume::RecoverabilityOf(false, 0, 0, e.size != 0 || e.isFolder);
    return volume::RecoverabilityOf(InUse(s, e.firstCluster), 0, 1, false);
  }
  const uint64_t clusters = (e.size + s.clusterBytes - 1) / s.clusterBytes;
  return s.fsKind == volume::kExfat ? ExfatFile(s, e, clusters) : FatFile(s, e, clusters);
}

}  // namespace vellum::fat
