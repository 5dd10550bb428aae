// Reading clusters of a record's attribute by VCN, across its extents, with
// sparse runs, data past the initialized size, and LZNT1 compression units.
#pragma once

#include <cstdint>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::ntfs {

// At most this many extents are stepped through in one read. Each step must
// move to a later VCN, so this only cuts short lists too long to be real.
inline constexpr int kMaxExtentSteps = 4096;

// Reads `count` clusters (count x clusterBytes bytes, or as many as the buffer
// holds) of the record's unnamed attribute of `type`, from vcn. Sparse
// clusters and bytes past the initialized size read as zeros. With
// `decompress`, a read that delivered some but not all clusters as sparse is
// one LZNT1 compression unit and is decompressed in place (callers read
// compressed data one whole unit at a time). True when every cluster came
// from the attribute; whatever could not be read (the attribute missing, a
// VCN no extent maps, a run beyond the volume, a sector the device failed to
// read) is zeros.
bool ReadAttributeClusters(volume::ScanState& state, ByteView record, uint32_t type, uint64_t vcn,
                           uint64_t count, MutableBytes buffer, bool decompress);

}  // namespace vellum::ntfs
