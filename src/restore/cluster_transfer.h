// Copying a file's clusters to a restored file in large requests: clusters
// that follow one another on the volume are read in one request and written
// in one block, up to kTransferBytes at a time. A device answers a request of
// a megabyte in about the time it answers one of a cluster, so copying a
// cluster at a time is bound by the number of requests, not by the bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "restore/restored_file.h"
#include "volume/scan_state.h"

namespace vellum::restore {

inline constexpr uint64_t kTransferBytes = 1u << 20;

class ClusterTransfer {
 public:
  ClusterTransfer(volume::ScanState& state, RestoredFile& file);

  // The next `bytes` of the file (a whole cluster but for the last) come
  // from `cluster`. False when writing failed.
  bool Add(uint64_t cluster, uint64_t bytes);
  // Reads and writes what was added. Of a read that fails, exactly the
  // sectors the volume could not give are written as unreadable.
  bool Flush();

 private:
  bool WriteAroundDamage();

  volume::ScanState& state_;
  RestoredFile& file_;
  uint64_t maxClusters_;
  uint64_t first_ = 0;
  uint64_t count_ = 0;
  uint64_t bytes_ = 0;
  bool lastCut_ = false;  // the last cluster added is not whole: nothing follows it
  std::vector<uint8_t> buffer_;
};

}  // namespace vellum::restore
