// Quick passes over the 32-byte slots of a cluster that a cluster scan reads
// as directory entries. Most such clusters hold old file data, in which
// nearly no slot can begin anything the walks list; these find the next slot
// that can, eight slots at a time and without branching on each, so that the
// walks' own entry reading runs only from there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "volume/le.h"

namespace vellum::fat {

// The offset of the first whole 32-byte slot at or after `at` (a multiple of
// 32) that a FAT search must read as an entry: an end mark (first byte 0), a
// dot entry, a possible long-name slot (attribute byte 0x0F), or a short
// entry whose first cluster is not above lastCluster. Every slot passed over
// is a short entry the search drops for its cluster number alone. The end of
// the whole slots when there is none.
size_t NextFatScanSlot(ByteView cluster, size_t at, uint64_t lastCluster);

// The offset of the first whole slot at or after `at` whose type byte is an
// exFAT end mark (0x00) or a File entry, live or deleted (0x85, 0x05): the
// only slots from which an entry set can begin while none is open. The end
// of the whole slots when there is none.
size_t NextExfatSetSlot(ByteView cluster, size_t at);

}  // namespace vellum::fat
