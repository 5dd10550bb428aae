// Sector transfers of the legacy path, through the disk BIOS of the selected
// unit: extended transfers when the unit takes them, else cylinder/head/sector
// transfers that never cross a track end. Sector numbers count from the start
// of the unit (callers add the partition start). Like the BIOS calls of old,
// they report nothing: the buffer holds what the BIOS returned.
#pragma once

#include <cstdint>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::volume {

// The most sectors one call moves: the sectors of a track, or fewer when a
// track is 64 KiB or more.
uint32_t MaxPerTransfer(uint32_t bytesPerSector, uint32_t sectorsPerTrack);

int BiosReadSectors(ScanState& state, MutableBytes buffer, uint64_t sector, uint64_t count);
int BiosWriteSectors(ScanState& state, ByteView buffer, uint64_t sector, uint64_t count);

}  // namespace vellum::volume
