// Run lists of non-resident attributes: decoding, mapping a virtual cluster
// of an attribute to a cluster of the volume, and reading runs of clusters.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::ntfs {

// One decoded run. A sparse run has no clusters on the volume; its lcn is 0,
// which is never read as data.
struct Run {
  uint64_t firstVcn = 0;
  uint64_t length = 0;
  uint64_t lcn = 0;
  bool sparse = false;
};

// Decodes a run list from its first header byte. Next() is false at the end
// marker and also at the first run that cannot be trusted: one cut off by the
// end of the bytes, a length or offset field of 0 or more than 8 bytes, a
// zero length, an LCN below 0 or beyond 64 bits, or VCNs that overflow.
// CutShort() tells, once Next() was false, whether the list ended at a run
// (or a header byte) that the bytes did not hold.
class RunListReader {
 public:
  RunListReader(ByteView runList, uint64_t firstVcn);
  bool Next(Run& run);
  bool CutShort() const { return cutShort_; }

 private:
  bool End(bool cutShort);

  ByteView bytes_;
  size_t at_ = 0;
  uint64_t vcn_;
  int64_t lcn_ = 0;
  bool ended_ = false;
  bool cutShort_ = false;
};

// One extent of a non-resident attribute. It keeps its own copy of the run
// list, so it stays valid whatever happens to the record it came from.
struct Extent {
  uint64_t firstVcn = 0;
  uint64_t lastVcn = 0;
  std::vector<uint8_t> runList;

  // An attribute without clusters records its last VCN as -1; no extent can
  // really end at the last VCN there is.
  bool Empty() const { return lastVcn < firstVcn || lastVcn == UINT64_MAX; }
};

// The extent of a non-resident attribute (its bytes, AttributeBytes); empty for
// a resident or malformed attribute.
std::optional<Extent> ExtentOf(ByteView attribute);

struct VcnMapping {
  bool found = false;
  uint64_t lcn = 0;   // 0 for a sparse run
  uint64_t left = 0;  // clusters from vcn to the end of the run (within the extent)
};

VcnMapping MapVcn(const Extent& extent, uint64_t vcn);

// Reads `count` clusters of the extent from vcn into buffer (as many as it
// holds), sparse runs as zeros (counted in sparseCount). Returns the clusters
// delivered; it stops early at a VCN the extent does not map and at a run
// that lies beyond the volume's last cluster. Clusters the device failed to
// read are delivered as zeros and, when `unreadCount` is given, counted there.
uint64_t ReadRunClusters(volume::ScanState& state, const Extent& extent, uint64_t vcn,
                         uint64_t count, MutableBytes buffer, uint64_t& sparseCount,
                         uint64_t* unreadCount = nullptr);

}  // namespace vellum::ntfs
