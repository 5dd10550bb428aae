#include "content/file_window.h"

#include <algorithm>

#include "content/cluster_follow.h"
#include "volume/sector_io.h"

namespace vellum::content {

RecordWalk::RecordWalk(volume::ScanState& state, uint64_t firstCluster, ByteView firstClusterData,
                       uint64_t startPos)
    : state_(state),
      first_(firstClusterData),
      clusterBytes_(firstClusterData.size()),
      pos_(startPos),
      windowEnd_(firstClusterData.size()),
      held_(firstClusterData),
      cluster_(firstCluster) {}

ByteView RecordWalk::Current() const {
  if (pos_ < heldStart_ || pos_ - heldStart_ > held_.size()) return {};
  return held_.subspan(pos_ - heldStart_);
}

bool RecordWalk::MoveToNextRecord(uint64_t length, size_t need) {
  if (!CheckedAdd(pos_, length, pos_)) return false;
  uint64_t needEnd = 0;
  if (CheckedAdd(pos_, need, needEnd) && needEnd <= windowEnd_) return true;
  if (walkBuffer_.empty()) {
    if (clusterBytes_ == 0) return false;
    walkBuffer_.resize(2 * clusterBytes_);
    followFree_ = IsClusterFree(state_, cluster_);
  }
  if (pos_ <= windowEnd_) BringHeldClusterToFirstHalf();
  return !ReadFileWindow(pos_, need).empty();
}

void RecordWalk::BringHeldClusterToFirstHalf() {
  if (windowEnd_ == clusterBytes_) {
    std::copy(first_.begin(), first_.end(), walkBuffer_.begin());
  } else if (half_ == 2) {
    std::copy_n(walkBuffer_.begin() + static_cast<ptrdiff_t>(clusterBytes_), clusterBytes_,
                walkBuffer_.begin());
  }
  half_ = 1;
}

bool RecordWalk::ReadIntoHalf(int half) {
  MutableBytes into(walkBuffer_.data() + (half == 1 ? 0 : clusterBytes_), clusterBytes_);
  // The transfer's result is not consulted: an unreadable header reads as
  // zeros, fails its walker's header test and ends the walk there.
  volume::ReadCluster(state_, cluster_, into);
  return true;
}

ByteView RecordWalk::ReadFileWindow(uint64_t target, size_t need) {
  if (walkBuffer_.empty() || need > clusterBytes_) return {};
  uint64_t base = 0;
  int half = 1;
  if (target >= windowEnd_) {
    base = windowEnd_;
  } else {
    // The first half holds the cluster that ends at windowEnd; a target before
    // it is no longer in memory.
    base = windowEnd_ - clusterBytes_;
    if (target < base) return {};
    half = 2;
  }
  for (uint64_t step = 0; step < kMaxStepsPerFetch; ++step) {
    if (!volume::NextCandidateCluster(state_, cluster_, followFree_)) return {};
    windowEnd_ += clusterBytes_;
    if (windowEnd_ <= target) {
      base += clusterBytes_;
      continue;
    }
    ReadIntoHalf(half);
    half_ = half;
    if (windowEnd_ - target >= need) {
      heldStart_ = base;
      held_ = ByteView(walkBuffer_.data(), windowEnd_ - base);
      return held_.subspan(target - base, need);
    }
    if (half == 2) return {};
    half = 2;
  }
  return {};
}

}  // namespace vellum::content
