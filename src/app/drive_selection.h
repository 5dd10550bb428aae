// What selecting a drive in the drive box does to the "also list files
// whose clusters are in use" option (1009 and its two label lines), the
// same in both windows: on the raw-volume path the drive is recognised
// (volume::OnDriveSelected), and NTFS greys the option; on the legacy path
// a selection changes nothing, as it did on the systems that path serves.
#pragma once

#include <cstdint>

#include "volume/drives.h"
#include "volume/scan_state.h"

namespace vellum::app {

// Keep for the legacy path and for an index outside the table.
volume::InUseOption InUseOptionOnSelection(const volume::ScanState& state, const volume::DriveTable& drives,
                                           int32_t index);

}  // namespace vellum::app
