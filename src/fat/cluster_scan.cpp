#include "fat/cluster_scan.h"

#include <algorithm>
#include <tuple>
#include <vector>

#include "fat/exfat_walk.h"
#include "fat/fat_walk.h"
#include "fat/orphan_placement.h"
#include "volume/cancel.h"
#include "volume/sector_io.h"
#include "volume/volume_extent.h"

namespace vellum::fat {

namespace {

// The folder text of every row a scan finds: the root, then "<不明>".
std::string UnknownFolder(const ScanState& s) { return s.rootPath + "<不明>"; }

struct ScanRange {
  uint64_t first = 2;
  uint64_t last = 0;
};

bool AskRange(ScanState& s, ClusterRangeAsker& asker, ScanRange& range) {
  range.first = 2;
  range.last = s.lastCluster;
  if (!asker.RunClusterRangeDialog(range.first, range.last)) return false;
  // The question keeps the range inside the volume; whatever answers it, no
  // cluster outside the volume is read.
  range.first = std::max<uint64_t>(range.first, 2);
  range.last = std::min(range.last, volume::LastScannedCluster(s));
  return true;
}

// Visits the clusters of the range that `wanted` admits, in ascending order,
// with the progress and Cancel of a cluster scan.
template <typename Wanted, typename Visit>
void ForEachCluster(ScanState& s, const ScanRange& range, Wanted wanted, Visit visit) {
  s.cancelled = 0;
  Progress* progress = s.progress;
  if (progress) {
    progress->OpenProgress();
    progress->StartPhase(kClusterCaption, std::max<uint64_t>(s.lastCluster, 1));
    progress->ShowFileLabel();
  }
  volume::ReadAheadScope readAhead(s);
  std::vector<uint8_t> cluster(s.clusterBytes);
  for (uint64_t j = range.first; j <= range.last && j >= range.first; ++j) {
    if (wanted(s, j)) {
      visit(j, volume::ViewCluster(s, j, cluster, volume::kScanView));
    }
    if (volume::CancelledAt(s, j, ClusterUpdateDue(j, range.first, range.last))) break;
    if (j == UINT64_MAX) break;
  }
  if (progress) progress->CloseProgress();
}

bool FatClusterWanted(const ScanState& s, uint64_t j) {
  return s.allClusters || volume::ReadFatEntry(s, s.fat, j) == 0;
}

bool ExfatClusterWanted(const ScanState& s, uint64_t j) {
  return s.allClusters || !volume::IsExfatClusterUsed(s, j);
}

}  // namespace

int ScanFatClusters(ScanState& s, ClusterRangeAsker& asker, const ContentAnalyser& analyse) {
  ScanRange range;
  if (!AskRange(s, asker, range)) return 0;
  OrphanPlacement placement(UnknownFolder(s), s.clusterBytes, s.lastCluster);
  FatWalk walk(s);
  walk.SetPlacement(&placement);
  ForEachCluster(s, range, FatClusterWanted, [&](uint64_t j, ByteView cluster) {
    // A cluster the walk already read as a deleted folder is not read as
    // entries again; content analysis still sees it.
    if (s.allClusters || volume::ReadFatEntry(s, s.fatWork, j) == 0)
      walk.ProcessScannedCluster(cluster, placement.FolderOf(j, cluster, true), j);
    if (s.options.analyse && analyse) analyse(s, j, cluster);
  });
  return 1;
}

int ScanExfatClusters(ScanState& s, int all, ClusterRangeAsker& asker, const ContentAnalyser& analyse) {
  ScanRange range;
  if (!AskRange(s, asker, range)) return 0;
  s.allClusters = all ? 1 : 0;
  OrphanPlacement placement(UnknownFolder(s), s.clusterBytes, s.lastCluster);
  ExfatWalk walk(s);
  walk.SetPlacement(&placement);
  std::sort(s.exfatWalkedDirectoryClusters.begin(), s.exfatWalkedDirectoryClusters.end());
  ForEachCluster(s, range, ExfatClusterWanted, [&](uint64_t j, ByteView cluster) {
    // A deleted folder the walk read is free, but its sets are listed already.
    if (s.allClusters || !ExfatClusterWalked(s, j))
      walk.TakeScannedCluster(cluster, placement.FolderOf(j, cluster, false), j);
    if (s.options.analyse && analyse) analyse(s, j, cluster);
  });
  return 1;
}

namespace {

// Whether a cluster lies wholly in a hole of a sparse image file: it reads
// as zeros, which hold no entry, so it need not be read at all. The device
// is asked once per stretch of data, not once per cluster.
class Holes {
 public:
  explicit Holes(const ScanState& s) : s_(s) {}
  bool Hold(uint64_t cluster) {
    if (!s_.volumeHandle) return false;
    const uint64_t at = volume::ClusterToSector(s_, cluster) * s_.bytesPerSector;
    if (at >= dataEnd_) {
      std::tie(dataFirst_, dataEnd_) = s_.volumeHandle->DataExtentFrom(at);
      if (dataEnd_ <= at) dataFirst_ = dataEnd_ = UINT64_MAX;  // no data to the end: all holes
    }
    return at + s_.clusterBytes <= dataFirst_;
  }

 private:
  const ScanState& s_;
  uint64_t dataFirst_ = 0, dataEnd_ = 0;
};

}  // namespace

void ForEachFreeCluster(ScanState& s, const std::function<void(uint64_t, ByteView)>& visit) {
  s.allClusters = 0;
  const ScanRange range{2, s.lastCluster};
  const auto free = s.fsKind == volume::kExfat ? ExfatClusterWanted : FatClusterWanted;
  Holes holes(s);
  ForEachCluster(s, range, [&](const ScanState& st, uint64_t j) { return free(st, j) && !holes.Hold(j); }, visit);
}

bool ExfatClusterWalked(const ScanState& s, uint64_t cluster) {
  const std::vector<uint32_t>& walked = s.exfatWalkedDirectoryClusters;
  return cluster <= UINT32_MAX && std::binary_search(walked.begin(), walked.end(), static_cast<uint32_t>(cluster));
}

}  // namespace vellum::fat
