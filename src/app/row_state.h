// The recoverability of every row of a list on the open volume, from its
// allocation tables: what the command line's forms, the restore report and
// the window show beside each row, and what `--intact-only` restores.
#pragma once

#include <vector>

#include "app/row_item.h"
#include "volume/recoverability.h"

namespace vellum::app {

volume::Recoverability ItemRecoverability(volume::ScanState& state, const RowItem& item);

// One per row of `rows`, in row order. On NTFS the cluster bitmap is loaded
// for the call and released again when it was not loaded before.
std::vector<volume::Recoverability> RowStates(volume::ScanState& state, const ResultList& rows);

}  // namespace vellum::app
