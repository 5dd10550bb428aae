// Jumping from record header to record header through a lost file, reading
// only the clusters that hold the headers. The file's clusters follow the
// cluster-following rule; a header may straddle two clusters, never more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::content {

// A walk over the records of one lost file. It starts on a record inside the
// first cluster, whose bytes (the scan's buffer) are never modified; clusters
// beyond it go into a walk buffer of two clusters.
class RecordWalk {
 public:
  // firstCluster's bytes must be clusterBytes long and startPos inside them.
  RecordWalk(volume::ScanState& state, uint64_t firstCluster, ByteView firstClusterData,
             uint64_t startPos = 0);

  uint64_t Pos() const { return pos_; }
  // The current record's bytes, up to the end of what is held in memory (at
  // least the `need` of the last move).
  ByteView Current() const;

  // Moves `length` bytes on to the next record and makes sure its first `need`
  // bytes are held, reading clusters only when they are not. False when the
  // file's clusters run out or the record lies beyond our bounds.
  bool MoveToNextRecord(uint64_t length, size_t need);

  // need contiguous bytes of the file at target, or an empty view. target may
  // lie inside the held data or after it, never before it.
  ByteView ReadFileWindow(uint64_t target, size_t need);

  // Cluster steps one fetch may take before it gives up.
  static constexpr uint64_t kMaxStepsPerFetch = 10'000'000;

 private:
  void BringHeldClusterToFirstHalf();
  bool ReadIntoHalf(int half);

  volume::ScanState& state_;
  ByteView first_;
  uint64_t clusterBytes_;
  uint64_t pos_;
  uint64_t windowEnd_;  // file offset just past the data held
  uint64_t heldStart_ = 0;  // file offset of held_[0]
  ByteView held_;
  uint64_t cluster_;  // the cluster whose data end at windowEnd_
  std::vector<uint8_t> walkBuffer_;
  int half_ = 1;  // the half that received the latest cluster
  bool followFree_ = false;
};

}  // namespace vellum::content
