#include "restore/cluster_transfer.h"

#include <algorithm>
#include <span>

#include "volume/sector_io.h"

namespace vellum::restore {

ClusterTransfer::ClusterTransfer(volume::ScanState& state, RestoredFile& file)
    : state_(state),
      file_(file),
      maxClusters_(state.clusterBytes == 0 ? 1 : std::max<uint64_t>(1, kTransferBytes / state.clusterBytes)) {}

bool ClusterTransfer::Add(uint64_t cluster, uint64_t bytes) {
  // Clusters below 2 lie outside the data area, where no run continues.
  const bool follows = count_ > 0 && first_ >= 2 && cluster == first_ + count_ && !lastCut_;
  if (count_ > 0 && (!follows || count_ == maxClusters_) && !Flush()) return false;
  if (count_ == 0) first_ = cluster;
  ++count_;
  bytes_ += bytes;
  lastCut_ = bytes < state_.clusterBytes;
  return true;
}

bool ClusterTransfer::Flush() {
  if (count_ == 0) return true;
  const uint64_t clusterBytes = state_.clusterBytes;
  buffer_.resize(count_ * clusterBytes);
  bool ok;
  if (count_ > 1 && volume::ReadSectors(state_, volume::ClusterToSector(state_, first_),
                                        count_ * state_.sectorsPerCluster, buffer_))
    ok = file_.Write(std::span<const uint8_t>(buffer_.data(), bytes_));
  else
    ok = CopyEachCluster();
  count_ = 0;
  bytes_ = 0;
  lastCut_ = false;
  return ok;
}

bool ClusterTransfer::CopyEachCluster() {
  const uint64_t clusterBytes = state_.clusterBytes;
  uint64_t left = bytes_;
  for (uint64_t i = 0; i < count_; ++i) {
    const MutableBytes cluster = MutableBytes(buffer_).subspan(i * clusterBytes, clusterBytes);
    const bool read = volume::ReadCluster(state_, first_ + i, cluster);
    const std::span<const uint8_t> bytes(cluster.data(), std::min(left, clusterBytes));
    if (!(read ? file_.Write(bytes) : file_.WriteUnreadable(bytes))) return false;
    left -= bytes.size();
  }
  return true;
}

}  // namespace vellum::restore
