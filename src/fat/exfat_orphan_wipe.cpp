// The last pass of an exFAT complete deletion: free clusters that still read
// as directory clusters of deleted folders (whose own entries are gone or
// were never reached by the walk) get their deleted entries overwritten, so
// that a free-cluster scan lists none of those names again.
#include <algorithm>
#include <vector>

#include "fat/cluster_scan.h"
#include "fat/exfat_walk.h"
#include "fat/wipe.h"
#include "volume/cancel.h"
#include "volume/exfat_layout.h"
#include "volume/sector_io.h"

namespace vellum::fat {

namespace {

using exfat_layout::kEntryBytes;

// Written only when every slot is an exFAT entry up to an end marker and
// nothing but zeros follows it: a free cluster of deleted file data must
// never be touched, and the wipe also overwrites the slots past the marker.
bool ReadsAsExfatDirectoryCluster(ByteView cluster) {
  size_t at = 0;
  for (; at + kEntryBytes <= cluster.size(); at += kEntryBytes) {
    const uint8_t type = Le(cluster, at, exfat_layout::kEntryType);
    if (type == 0x00) break;
    if (!exfat_layout::IsKnownEntryType(type)) return false;
  }
  return std::all_of(cluster.begin() + static_cast<std::ptrdiff_t>(at), cluster.end(),
                     [](uint8_t b) { return b == 0; });
}

}  // namespace

void WipeOrphanedExfatDirectories(volume::ScanState& s) {
  if (s.clusterBytes == 0 || s.lastCluster < 2) return;
  std::vector<uint32_t>& walked = s.exfatWalkedDirectoryClusters;
  std::sort(walked.begin(), walked.end());
  Progress* progress = s.progress;
  if (progress) {
    progress->OpenProgress();
    progress->StartPhase(kClusterCaption, s.lastCluster);
    progress->ShowFileLabel();
  }
  // Sets are taken exactly as the free-cluster scan takes them; in this mode
  // taking one lists and restores nothing.
  ExfatWalk walk(s);
  const std::string folder = s.rootPath;
  std::vector<uint8_t> cluster(s.clusterBytes), copy(s.clusterBytes);
  {
    volume::ReadAheadScope readAhead(s);
    for (uint64_t j = 2; j <= s.lastCluster; ++j) {
      if (!volume::IsExfatClusterUsed(s, j) && !ExfatClusterWalked(s, j)) {
        const ByteView view = volume::ViewCluster(s, j, cluster, volume::kScanView);
        if (view.size() == copy.size() && ReadsAsExfatDirectoryCluster(view) &&
            walk.TakeScannedCluster(view, folder) > 0) {
          std::copy(view.begin(), view.end(), copy.begin());
          WipeDeletedExfatEntries(s, volume::ClusterToSector(s, j), copy);
        }
      }
      if (volume::CancelledAt(s, j, ClusterUpdateDue(j, 2, s.lastCluster))) break;
    }
  }
  if (progress) progress->CloseProgress();
  walked.clear();
}

}  // namespace vellum::fat
