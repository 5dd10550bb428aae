// The search's walk over the master file table's free records, in two halves
// that run side by side: a helper thread reads the records and works out each
// row (PrepareNtfsRow), and the calling thread lists the rows in record order
// (ListNtfsRow) and answers the progress. Only the helper reads the device
// while they run; only the calling thread touches the result list, the
// progress and the type names. The rows are those the walk would list alone.
#pragma once

#include "ntfs/ntfs_search.h"
#include "volume/scan_state.h"

namespace vellum::ntfs {

// True when the progress was cancelled; the rows listed until then stay.
bool WalkTableForSearch(ScanState& state, const MftLayout& layout, Progress* progress);

}  // namespace vellum::ntfs
