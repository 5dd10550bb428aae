// Update-sequence fixups of NTFS multi-sector records.
#pragma once

#include <cstdint>

#include "volume/le.h"

namespace vellum::volume {

// Whether the record's update sequence array, and every block end it names,
// lie inside the record. True as well when there is nothing to fix up (an
// array of fewer than two entries).
bool FixupsFit(ByteView record);

// Puts back the last two bytes of every 512 bytes of `record` from its update
// sequence array. The saved sequence number is not compared: a torn record is
// still worth reading on a damaged disk. Records whose array does not fit are
// left as they are, and false says so (FixupsFit).
bool ApplyFixups(MutableBytes record);

}  // namespace vellum::volume
