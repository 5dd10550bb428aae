// The slow path of every read: what a failed read could not give is read
// again in halves down to single sectors, so that only the sectors the
// device cannot give are taken as zeros, and each is recorded in the
// command's ReadDamage. After a long run of failed sectors the reader stops
// hammering the disk and skips ahead unread, in steps that double while the
// reads keep failing; one good read ends the run.
#pragma once

#include <cstdint>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::volume {

// Failed sectors in a row before the reader skips ahead, the first skip and
// the largest.
inline constexpr uint64_t kFailedSectorsBeforeSkip = 64;
inline constexpr uint64_t kFirstSkipBytes = 64 * 1024;
inline constexpr uint64_t kLargestSkipBytes = uint64_t{1} << 30;

// Whether a read at this byte starts in the stretch being skipped.
inline bool InSkip(const ReadDamage& d, uint64_t offset) { return offset < d.skipEnd && offset >= d.skipStart; }

// `out` at byte `offset` after its read failed (or without trying it, when
// it starts inside a skipped stretch). True when every byte inside the
// device was read in the end; the rest are zeros and recorded.
bool ReadAroundFailure(ScanState& state, uint64_t offset, MutableBytes out, bool triedWhole);

}  // namespace vellum::volume
