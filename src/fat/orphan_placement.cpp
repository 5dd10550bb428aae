#include "fat/orphan_placement.h"

#include <algorithm>

#include "fat/directory_cluster.h"

namespace vellum::fat {

namespace {

// A directory of more clusters than this is damage, not a folder of photos:
// only its first ones are named (65536 entries of 32 bytes at most on FAT,
// 256 MiB on exFAT; either way far more than a scan would want to track).
constexpr uint64_t kMaxPlacedClusters = 4096;

}  // namespace

OrphanPlacement::OrphanPlacement(std::string unknownFolder, uint32_t clusterBytes, uint64_t lastCluster)
    : unknown_(std::move(unknownFolder)), clusterBytes_(std::max<uint32_t>(clusterBytes, 1)), lastCluster_(lastCluster) {}

void OrphanPlacement::NoteFolder(uint64_t firstCluster, uint64_t size, std::string path) {
  if (firstCluster < 2 || firstCluster > lastCluster_) return;
  const uint64_t clusters = std::clamp<uint64_t>((size + clusterBytes_ - 1) / clusterBytes_, 1, kMaxPlacedClusters);
  // The first folder to name a cluster keeps it: a second would be a stale
  // copy of the same entry, or damage.
  for (uint64_t i = 0; i < clusters && firstCluster + i <= lastCluster_; ++i)
    byCluster_.emplace(firstCluster + i, path);
}

const std::string& OrphanPlacement::FolderOf(uint64_t j, ByteView cluster, bool fat) {
  if (const auto found = byCluster_.find(j); found != byCluster_.end()) {
    placedCluster_ = j;
    placedEnded_ = HasEndOfDirectory(cluster);
    placedFolder_ = found->second;
    return found->second;
  }
  // A FAT folder keeps no size and a format clears its chain: its later
  // clusters are those after its first, as a deleted file's are.
  const bool continues = fat && placedCluster_ != 0 && !placedEnded_ && j == placedCluster_ + 1 && !cluster.empty() &&
                         cluster[0] != '.' && IsDirectoryCluster(cluster, lastCluster_);
  if (!continues) return unknown_;
  placedCluster_ = j;
  placedEnded_ = HasEndOfDirectory(cluster);
  return placedFolder_;
}

}  // namespace vellum::fat
