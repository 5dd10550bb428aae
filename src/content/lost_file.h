// The bytes of a lost file at any offset, for the measurers that follow a
// file's own structure (segment lengths, IFD offsets, chunk lengths) instead
// of a fixed pattern. The file's clusters follow the cluster-following rule;
// a cluster is read only when a byte in it is asked for.
#pragma once

#include <cstdint>
#include <vector>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::content {

class LostFile {
 public:
  // firstClusterData: the scan's bytes of the first cluster, clusterBytes long.
  LostFile(volume::ScanState& state, uint64_t firstCluster, ByteView firstClusterData);

  // The file's cluster that holds `offset` (clusterBytes long), starting at
  // file offset *start; empty when the file's clusters run out before it.
  // Going backwards walks the clusters again from the first.
  ByteView ClusterHolding(uint64_t offset, uint64_t& start);

  // Copies out.size() bytes from `offset`; false when the clusters run out.
  bool Read(uint64_t offset, MutableBytes out);
  bool Byte(uint64_t offset, uint8_t& out);
  // Big-endian (true) or little-endian fields of 2 and 4 bytes.
  bool U16(uint64_t offset, bool bigEndian, uint16_t& out);
  bool U32(uint64_t offset, bool bigEndian, uint32_t& out);

  // No lost file is longer than the volume's data area.
  uint64_t Limit() const { return state_.dataAreaBytes; }
  uint64_t ClusterBytes() const { return clusterBytes_; }
  // True once the user pressed Cancel while a walk read clusters; asked once
  // per cluster read beyond the first.
  bool Cancelled() const { return state_.cancelled != 0; }

 private:
  bool StepTo(uint64_t index);

  volume::ScanState& state_;
  uint64_t firstCluster_;
  ByteView firstData_;
  uint64_t clusterBytes_;
  bool followFree_;
  uint64_t index_ = 0;    // which of the file's clusters cluster_ is
  uint64_t cluster_;
  ByteView view_;         // the bytes of cluster_ once read
  bool viewRead_ = true;  // the first cluster's bytes came with the scan
  std::vector<uint8_t> fallback_;
};

}  // namespace vellum::content
