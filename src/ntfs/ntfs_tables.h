// What an NTFS volume needs loaded before any walk: the boot sector's
// geometry and the master file table's own record.
#pragma once

#include <string>

#include "volume/scan_state.h"

namespace vellum::ntfs {

// Needs state.volumeHandle open and state.fsKind NTFS. Returns why the volume
// cannot be worked with, or an empty text.
std::string LoadNtfsTables(volume::ScanState& state);

}  // namespace vellum::ntfs
