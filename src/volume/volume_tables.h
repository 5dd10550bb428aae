// Loading the per-volume tables once the file system is recognised: the
// geometry, the FAT and its working copy, the exFAT allocation bitmap, or the
// NTFS boot sector and the master file table's own record.
#pragma once

#include <string>

#include "volume/scan_state.h"

namespace vellum::volume {

// Needs state.volumeHandle open and state.fsKind recognised. Frees the tables
// of the previous volume first. Returns why the volume cannot be worked with,
// or an empty text on success.
std::string LoadVolumeTables(ScanState& state);

// How many bytes of the volume its boot sector describes lie past the end of
// the open device (a cut-off copy); 0 when all of it is there.
uint64_t MissingVolumeBytes(const ScanState& state);

// What to tell the user about such a volume, naming `source`; the walks go
// on with what is there, reading the missing part as zeros.
std::string TruncationNote(const ScanState& state, const std::string& source);

}  // namespace vellum::volume
