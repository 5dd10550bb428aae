// A quick pass over the 32-byte slots of a cluster that an exFAT cluster
// scan reads as directory entries. Most such clusters hold old file data, in
// which nearly no slot can begin an entry set; this finds the next slot that
// can, eight slots at a time, so that the walk's own entry reading runs only
// from there.
#pragma once

#include <cstddef>

#include "volume/le.h"

namespace vellum::fat {

// The offset of the first whole slot at or after `at` that a FAT cluster
// scan in search mode reads: an end mark, a dot entry, a long-name slot, or
// a short entry whose first cluster's high half stays within the volume's
// (the cheapest test of each kind the scan makes). Every slot before it is
// passed over with nothing kept. Old file data nearly never has one. The end
// of the whole slots when there is none.
size_t NextFatSlotToRead(ByteView cluster, size_t at, uint64_t lastCluster);

// The offset of the first whole slot at or after `at` whose type byte is an
// exFAT end mark (0x00) or a File entry, live or deleted (0x85, 0x05): the
// only slots from which an entry set can begin while none is open. The end
// of the whole slots when there is none.
size_t NextExfatSetSlot(ByteView cluster, size_t at);

}  // namespace vellum::fat
