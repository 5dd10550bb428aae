// Reading many records of the master file table in order. The search visits
// every free record; reading the table a megabyte at a time instead of one
// cluster per record keeps it bound by the disk rather than by system calls,
// and where the device holds the table in memory it is read there in place.
#pragma once

#include <cstdint>
#include <vector>

#include "ntfs/attribute_data.h"
#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::ntfs {

// Holds the table's view (volume::kTableView) from one read to the next.
class MftRecordReader {
 public:
  explicit MftRecordReader(volume::ScanState& state, uint64_t chunkBytes = 1u << 20);
  // As ReadMftRecord: the record with fixups applied and true when it
  // carries the "FILE" signature; false otherwise, and the buffer then holds
  // nothing of use.
  bool Read(uint32_t number, MutableBytes buffer);

 private:
  void Load(uint64_t vcn, uint64_t clusters);
  bool LoadInPlace(uint64_t vcn, uint64_t clusters, uint64_t wanted);

  volume::ScanState& state_;
  AttributeReader table_;  // the table's own $DATA
  uint64_t chunkClusters_;
  std::vector<uint8_t> chunk_;
  ByteView loaded_;  // the clusters from firstVcn_: in place, or chunk_
  uint64_t firstVcn_ = 0;
  uint64_t loadedClusters_ = 0;
  // Below this VCN a chunk read failed: records there are read one at a time.
  uint64_t carefulUntil_ = 0;
};

}  // namespace vellum::ntfs
