// The volume's label, as a file manager shows it: the FAT root directory's
// label entry (the boot sector's copy when there is none), the exFAT label
// entry, or the name in NTFS's $Volume record.
#pragma once

#include <string>

#include "volume/scan_state.h"

namespace vellum::app {

// Empty when the volume has none or it cannot be read.
std::string VolumeLabel(volume::ScanState& state);

}  // namespace vellum::app
