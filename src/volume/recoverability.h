// How much of a listed file the volume still holds, told from the allocation
// tables alone (nothing of the file's data is read): whether the clusters it
// is taken to occupy are still free, partly taken again, taken from the
// first one on, or not known because its chain is gone and was predicted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "volume/read_damage.h"

namespace vellum::volume {

enum class RowState : uint8_t {
  kIntact,             // every cluster of its run is free
  kPartlyOverwritten,  // some clusters of its run are in use again
  kOverwritten,        // its first cluster is in use again
  kUnknown,            // its chain is gone: the run is a prediction
  kUnreadable,         // part of its entry or data lies on sectors the device cannot read
  kPastVolumeEnd,      // its size, from its first cluster on, runs past the volume's end
  kReadAsZeros,        // its clusters lie in holes of the image: it would read as zeros only
};

struct Recoverability {
  RowState state = RowState::kUnknown;
  uint64_t clustersInUse = 0;  // of its run
  uint64_t clusters = 0;       // in its run
  // kUnreadable: the file's bytes (from its start) that could not be read.
  std::vector<ByteRange> unreadable;
};

// What a walk over a run found: the first cluster in use, how many in use,
// whether any cluster was predicted.
Recoverability RecoverabilityOf(bool firstInUse, uint64_t inUse, uint64_t clusters, bool predicted);

// "intact", "partly-overwritten", "overwritten", "unknown", "unreadable": the
// key scripts select by.
std::string_view RowStateKey(RowState state);
// The state in the user's words: "一部上書き (3/10 クラスタ)".
std::string RowStateText(const Recoverability& r);

}  // namespace vellum::volume
