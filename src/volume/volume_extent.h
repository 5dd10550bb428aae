// How much of the volume its boot sector describes is really there: a
// cut-off copy of a card or disk is searched as far as it goes, and said so.
#pragma once

#include <cstdint>
#include <string>

#include "volume/scan_state.h"

namespace vellum::volume {

// How many bytes of the volume its boot sector describes lie past the end of
// the open device (a cut-off copy); 0 when all of it is there.
uint64_t MissingVolumeBytes(const ScanState& state);

// What to tell the user about such a volume, naming `source`; the walks go
// on with what is there, reading the missing part as zeros.
std::string TruncationNote(const ScanState& state, const std::string& source);

}  // namespace vellum::volume
