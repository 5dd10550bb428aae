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
  // The reader has already gone round the sectors a failed read could not
  // give: what it could not read is named from the command's damage.
  const bool ok = volume::ReadSectors(state_, volume::ClusterToSector(state_, first_),
                                      count_ * state_.sectorsPerCluster, buffer_)
                      ? file_.Write(std::span<const uint8_t>(buffer_.data(), bytes_))
                      : WriteAroundDamage();
  count_ = 0;
  bytes_ = 0;
  lastCut_ = false;
  return ok;
}

bool ClusterTransfer::WriteAroundDamage() {
  const std::span<const uint8_t> all(buffer_.data(), bytes_);
  uint64_t at = 0;
  if (!CheckedMul(volume::ClusterToSector(state_, first_), state_.bytesPerSector, at) || at > UINT64_MAX - bytes_)
    return file_.WriteUnreadable(all);
  std::vector<volume::ByteRange> holes = volume::UnreadableIn(state_.readDamage, at, at + bytes_);
  // Past the device's end nothing was read either.
  const uint64_t size = state_.volumeHandle ? state_.volumeHandle->Size() : 0;
  if (at + bytes_ > size) holes.push_back({std::max(at, size), at + bytes_});
  if (holes.empty()) return file_.WriteUnreadable(all);
  uint64_t done = 0;
  for (const volume::ByteRange& h : holes) {
    if (!file_.Write(all.subspan(done, h.first - at - done))) return false;
    if (!file_.WriteUnreadable(all.subspan(h.first - at, h.end - h.first))) return false;
    done = h.end - at;
  }
  return file_.Write(all.subspan(done));
}

}  // namespace vellum::restore
