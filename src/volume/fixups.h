// Update-sequence fixups of NTFS multi-sector records.
#pragma once

#include <cstdint>

#include "volume/le.h"

namespace vellum::volume {

// Puts back the last two bytes of every sector of `record` from its update
// sequence array. The saved sequence number is not compared: a torn record is
// still worth reading on a damaged disk. Records whose array does not fit are
// left as they are.
void ApplyFixups(MutableBytes record, uint32_t bytesPerSector);

}  // namespace vellum::volume
