// The volume bitmap ($Bitmap, file record 6) that tells used clusters from free.
#pragma once

#include "volume/scan_state.h"

namespace vellum::ntfs {

inline constexpr uint32_t kBitmapRecord = 6;

// Loads the unnamed $DATA of record 6 into clusterBitmap, never more than one
// bit per cluster of the volume ((lastCluster + 1 + 7) / 8 bytes) nor more
// than the device holds. False, with the bitmap empty, when the record or its
// $DATA cannot be found; a bitmap cut short leaves the clusters it does not
// cover counted as used (IsNtfsClusterUsed).
bool LoadNtfsClusterBitmap(volume::ScanState& state);

}  // namespace vellum::ntfs
