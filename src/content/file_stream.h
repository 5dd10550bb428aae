// Reading a lost file front to back, for the formats whose length is found
// only by looking at (nearly) every byte: packet streams, audio frames, Ogg
// pages checked by their CRCs, a deflate stream run through zlib. Built on
// the record walk, so the file's clusters follow the cluster-following rule
// and clusters jumped over are not read.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "content/content_check.h"
#include "content/file_window.h"
#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::content {

// The furthest a streamed measurement goes before it gives up, as far as a
// marker scan goes: a longer file is not one of these formats' files.
inline constexpr uint64_t kMaxStreamedBytes = 10'485'760'000ull;

// The big-endian value of `width` bytes at off (at most 8), 0 when they are not all in b.
inline uint64_t Be(ByteView b, uint64_t off, unsigned width) {
  if (!InBounds(b.size(), off, width)) return 0;
  uint64_t v = 0;
  for (unsigned i = 0; i < width; ++i) v = (v << 8) | b[off + i];
  return v;
}

class FileStream {
 public:
  // data: the first cluster's bytes, clusterBytes long.
  FileStream(volume::ScanState& state, uint64_t cluster, ByteView data) : state_(state), walk_(state, cluster, data) {}

  uint64_t Pos() const { return walk_.Pos(); }
  uint64_t ClusterBytes() const { return state_.clusterBytes; }

  // At least `need` bytes (at most one cluster's worth) of the file from
  // offset on, which may not lie before Pos(); the stream moves there. An
  // empty view when the file's clusters end first, the offset lies beyond
  // kMaxStreamedBytes or Cancel was pressed.
  ByteView At(uint64_t offset, size_t need);

  // Hands up to `length` bytes from Pos() on to eat(ByteView), piece by
  // piece, and moves past what it used: eat returns how many bytes of its
  // piece it used, and using fewer than all ends the feeding there. Returns
  // the bytes used, fewer than `length` when eat stopped, the clusters ended
  // or Cancel was pressed.
  template <class Eat>
  uint64_t Feed(uint64_t length, Eat&& eat) {
    uint64_t used = 0;
    while (used < length) {
      const ByteView held = At(Pos(), 1);
      if (held.empty()) break;
      const size_t n = static_cast<size_t>(std::min<uint64_t>(held.size(), length - used));
      const size_t took = std::min(eat(held.first(n)), n);
      used += took;
      // Still inside the held data, so the move reads nothing.
      walk_.MoveToNextRecord(took, 0);
      if (took < n) break;
    }
    return used;
  }

  // Whether a streamed measurement was stopped by Cancel (its row is dropped).
  bool Cancelled() const { return state_.cancelled != 0; }

 private:
  bool PollCancel();

  volume::ScanState& state_;
  RecordWalk walk_;
  uint64_t fetches_ = 0;
};

}  // namespace vellum::content
