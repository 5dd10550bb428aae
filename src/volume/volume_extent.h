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

// The last cluster a cluster scan reads: the volume's last, or on a volume
// whose boot sector claims more than the source holds, the last cluster that
// begins inside the source. Past it there is nothing but zeros to read, and
// a boot sector claiming terabytes on a small card or file would have the
// scan read them for hours.
uint64_t LastScannedCluster(const ScanState& state);

// What to tell the user about such a volume, naming `source`; the walks go
// on with what is there, reading the missing part as zeros.
std::string TruncationNote(const ScanState& state, const std::string& source);

}  // namespace vellum::volume
