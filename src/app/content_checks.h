// The own check of every recognised file in a list (a photo decoded, a PNG's
// CRCs), worked out from the open volume for the forms that show it: the
// command line's table, JSON and CSV, and the window.
#pragma once

#include <optional>
#include <vector>

#include "app/result_list.h"
#include "content/content_check.h"
#include "volume/scan_state.h"

namespace vellum::app {

// One per row of `rows`, in row order; empty for rows not of recognised
// files. On NTFS the cluster bitmap is loaded for the call and released
// again when it was not loaded before.
std::vector<std::optional<content::ContentCheck>> ContentChecks(volume::ScanState& state, const ResultList& rows);

}  // namespace vellum::app
