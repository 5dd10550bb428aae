// The row adder of the exFAT walk and the exFAT cluster scan: the listing
// filters of an exFAT entry set, then the common listing steps.
#pragma once

#include <cstdint>
#include <string_view>

#include "fat/found_entry.h"
#include "volume/scan_state.h"

namespace vellum::fat {

using volume::ScanState;

// Lists one exFAT entry if it passes the filters: a first cluster beyond the
// volume never; a folder always; a file of size 0 only with options.zeroSize;
// a file whose first cluster is in use (or 0 or 1) only with options.inUse;
// then the name filter. `folderText` is the folder cell: the root text and
// the folders. True when the row was listed.
bool AddRow(ScanState& state, const FoundEntry& entry, std::string_view folderText);

// The orphan rule of every cluster scan for an exFAT set: a calendar time,
// no control character in its name, a cluster and size inside the volume.
bool IsListableOrphan(const ScanState& state, const FoundEntry& entry);

}  // namespace vellum::fat
