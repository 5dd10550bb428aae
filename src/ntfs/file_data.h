// A file's whole unnamed $DATA by record number, for tests and tools that want
// the bytes in memory rather than written out.
#pragma once

#include <cstdint>
#include <vector>

#include "ntfs/attribute.h"
#include "volume/scan_state.h"

namespace vellum::ntfs {

// How much of a file's data is read at once: 16 clusters, or one whole
// compression unit when the data is compressed (each unit is decompressed on
// its own, so a read must never cut one).
struct TransferStep {
  uint64_t clusters = 16;
  bool decompress = false;
};
TransferStep TransferStepOf(const AttributeHeader& data, uint64_t clusterBytes);

// Reads record `number` (in use or not) and its unnamed $DATA, cut to the data
// size. Compressed data is read one compression unit at a time and
// decompressed. False when the record or its $DATA is missing, the data size
// exceeds maxBytes, or some cluster could not be read (its bytes are zeros).
bool ReadFileData(volume::ScanState& state, uint32_t number, std::vector<uint8_t>& data,
                  uint64_t maxBytes = uint64_t{1} << 30);

}  // namespace vellum::ntfs
