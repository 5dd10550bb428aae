// Loading the per-volume tables once the file system is recognised: the
// geometry, the FAT and its working copy, the exFAT allocation bitmap, or the
// NTFS boot sector and the master file table's own record.
#pragma once

#include <string>

#include "volume/scan_state.h"

namespace vellum::app {

// Needs state.volumeHandle open and state.fsKind recognised. Frees the tables
// of the previous volume first. Returns why the volume cannot be worked with,
// or an empty text on success.
std::string LoadVolumeTables(volume::ScanState& state);

}  // namespace vellum::app
