// The tables of a FAT12/16/32 or exFAT volume, loaded once it is recognised:
// the geometry, the FAT and its working copy, and exFAT's allocation bitmap.
#pragma once

#include <cstdint>
#include <string>

#include "volume/scan_state.h"

namespace vellum::fat {

using volume::ScanState;

// Needs state.volumeHandle open and state.fsKind one of the FAT family or
// exFAT. Returns why the volume cannot be worked with, or an empty text.
std::string LoadFatTables(ScanState& state);

// Loads the exFAT allocation bitmap named in the root directory's first
// cluster. Needs the FAT loaded. False when the root cluster cannot be read.
bool LoadExfatBitmap(ScanState& state, uint32_t rootCluster);

}  // namespace vellum::fat
