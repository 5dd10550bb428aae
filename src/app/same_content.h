// A file recognised by its contents whose first cluster is the first cluster
// of a file the same search listed by name is that file's data again: it is
// marked as the same, and a restore of both writes it once. So is a file
// listed by name twice: by the walk and again from a scanned cluster (the
// same first cluster and size on FAT and exFAT, the same record on NTFS).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "app/result_list.h"
#include "volume/scan_state.h"

namespace vellum::app {

// One per row: for a content row or a repeated named row, the row (from 0)
// listed by name whose data it repeats; empty for every other row. A FAT or exFAT row holds its
// first cluster; an NTFS row's is read from its record on the open volume
// `state`, and only when the list holds a content row.
std::vector<std::optional<size_t>> SameContentRows(volume::ScanState& state, const ResultList& rows);
// The same, four bytes a row: kNoSameRow for a row that repeats none.
inline constexpr uint32_t kNoSameRow = UINT32_MAX;
std::vector<uint32_t> SameContentRowNumbers(volume::ScanState& state, const ResultList& rows);

}  // namespace vellum::app
