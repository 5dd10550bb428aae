#include "fat/orphan_walk.h"

#include <algorithm>
#include <map>
#include <vector>

#include "fat/cluster_runs.h"
#include "fat/cluster_scan.h"
#include "fat/directory_cluster.h"
#include "volume/sector_io.h"

namespace vellum::fat {

namespace {

// The scan's own setting for as long as orphaned entries are read.
class ClusterScanScope {
 public:
  ClusterScanScope(ScanState& s, int32_t on) : s_(s), before_(s.clusterScan) { s.clusterScan = on; }
  ~ClusterScanScope() { s_.clusterScan = before_; }
  ClusterScanScope(const ClusterScanScope&) = delete;
  ClusterScanScope& operator=(const ClusterScanScope&) = delete;

 private:
  ScanState& s_;
  int32_t before_;
};

// The parent that the subfolders of a directory cluster name in their ".."
// entries: the first one found, 0 when none does. A subfolder's first
// cluster may hold anything by now; only a "." and ".." pair is believed.
uint64_t ParentNamedBySubfolders(ScanState& s, ByteView cluster, std::vector<uint8_t>& buffer) {
  for (size_t at = 0; at + kEntryBytes <= cluster.size(); at += kEntryBytes) {
    const ByteView e = cluster.subspan(at, kEntryBytes);
    if (EntryFirstByte(e) == fat_layout::kEndMark) break;
    if (EntryFirstByte(e) == '.' || IsLongNameEntry(e) || !IsDirectoryEntry(e)) continue;
    const uint64_t first = FatEntryFirstCluster(e);
    if (first < 2 || first > s.lastCluster || !volume::ReadCluster(s, first, buffer)) continue;
    if (const uint64_t parent = ParentOfDirectory(buffer); parent >= 2) return parent;
  }
  return 0;
}

// Puts back below their deleted folders the candidate clusters whose
// subfolders name one as parent; a folder entered on the way may be the
// parent of further candidates.
void AdoptByParent(ScanState& s, FatWalk& walk, const std::vector<uint64_t>& candidates) {
  std::vector<uint8_t> cluster(s.clusterBytes), buffer(s.clusterBytes);
  std::multimap<uint64_t, uint64_t> byParent;
  for (uint64_t c : candidates) {
    if (s.cancelled) return;
    if (!volume::ReadCluster(s, c, cluster)) continue;
    if (const uint64_t parent = ParentNamedBySubfolders(s, cluster, buffer)) byParent.emplace(parent, c);
  }
  std::vector<uint64_t> ready;
  for (const auto& [parent, c] : byParent)
    if (walk.DeletedFolderPath(parent) && (ready.empty() || ready.back() != parent)) ready.push_back(parent);
  walk.TakeEnteredFolders();
  while (!ready.empty() && !s.cancelled) {
    const uint64_t parent = ready.back();
    ready.pop_back();
    const std::string path = *walk.DeletedFolderPath(parent);
    const auto [from, to] = byParent.equal_range(parent);
    std::vector<uint64_t> adopted;
    for (auto it = from; it != to; ++it) adopted.push_back(it->second);
    byParent.erase(parent);
    for (uint64_t c : adopted) {
      if (IsClaimed(s, c) || !volume::ReadCluster(s, c, cluster)) continue;
      Claim(s, c);
      walk.WalkAdoptedCluster(cluster, path);
    }
    for (uint64_t entered : walk.TakeEnteredFolders())
      if (byParent.count(entered)) ready.push_back(entered);
  }
}

}  // namespace

void WalkOrphanedFatEntries(ScanState& s, FatWalk& walk) {
  // The clusters that read as directory entries throughout and hold an entry
  // a scan would list (the cheaper test first: most free clusters fail it at
  // their first slot); the walk's own directory clusters are claimed already
  // and are passed over.
  std::vector<uint64_t> candidates;
  {
    ClusterScanScope scan(s, 1);
    ForEachFreeCluster(s, [&](uint64_t j, ByteView cluster) {
      if (!IsClaimed(s, j) && IsDirectoryCluster(cluster, s.lastCluster) && walk.ScannedClusterListsEntry(cluster))
        candidates.push_back(j);
    });
  }
  AdoptByParent(s, walk, candidates);
  ClusterScanScope scan(s, 1);
  // A search cancelled while the free clusters were read still lists what
  // was found until then; a cancelled restore writes nothing more.
  const int32_t cancelled = s.cancelled;
  if (s.operationMode == volume::kModeSearch) s.cancelled = 0;
  OrphanPlacement placement(walk.OrphanFolder(), s.clusterBytes, s.lastCluster);
  walk.SetPlacement(&placement);
  std::vector<uint8_t> cluster(s.clusterBytes);
  for (uint64_t c : candidates) {
    if (s.cancelled) break;
    if (IsClaimed(s, c) || !volume::ReadCluster(s, c, cluster)) continue;
    // Claimed, so that a free-cluster scan after this lists them no more.
    Claim(s, c);
    walk.ProcessScannedCluster(cluster, placement.FolderOf(c, cluster, true), c);
  }
  walk.SetPlacement(nullptr);
  s.cancelled |= cancelled;
}

void WalkOrphanedExfatSets(ScanState& s, ExfatWalk& walk) {
  std::vector<uint32_t>& walked = s.exfatWalkedDirectoryClusters;
  std::sort(walked.begin(), walked.end());
  ClusterScanScope scan(s, 1);
  OrphanPlacement placement(walk.OrphanFolder(), s.clusterBytes, s.lastCluster);
  walk.SetPlacement(&placement);
  std::vector<uint32_t> taken;
  ForEachFreeCluster(s, [&](uint64_t j, ByteView cluster) {
    if (ExfatClusterWalked(s, j) || !IsExfatDirectoryCluster(cluster)) return;
    walk.TakeScannedCluster(cluster, placement.FolderOf(j, cluster, false), j);
    taken.push_back(static_cast<uint32_t>(j));
  });
  walk.SetPlacement(nullptr);
  // A free-cluster scan after this lists none of them again.
  walked.insert(walked.end(), taken.begin(), taken.end());
  std::inplace_merge(walked.begin(), walked.end() - static_cast<std::ptrdiff_t>(taken.size()), walked.end());
}

}  // namespace vellum::fat
