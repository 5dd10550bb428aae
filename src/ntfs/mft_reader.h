// Reading many records of the master file table in order. The search visits
// every free record; reading the table a megabyte at a time instead of one
// cluster per record keeps it bound by the disk rather than by system calls.
#pragma once

#include <cstdint>
#include <vector>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::ntfs {

class MftRecordReader {
 public:
  explicit MftRecordReader(volume::ScanState& state, uint64_t chunkBytes = 1u << 20);
  // Same result as ReadMftRecord: the record with fixups applied and true
  // when it carries the "FILE" signature; false otherwise.
  bool Read(uint32_t number, MutableBytes buffer);

 private:
  void Load(uint64_t vcn, uint64_t clusters);

  volume::ScanState& state_;
  uint64_t chunkClusters_;
  std::vector<uint8_t> chunk_;
  uint64_t firstVcn_ = 0;
  uint64_t loadedClusters_ = 0;
  // Below this VCN a chunk read failed: records there are read one at a time.
  uint64_t carefulUntil_ = 0;
};

}  // namespace vellum::ntfs
