// Cancel, asked the same way by every walk, scan and restore. Once the
// running command's cancelled flag is set it is the answer, and the window
// is not asked again; otherwise the window is asked (which also lets it
// breathe) and a Cancel it reports is kept in the flag.
#pragma once

#include <cstdint>

#include "volume/scan_state.h"

namespace vellum::volume {

// True once the user has asked to stop: the flag, or the window's Cancel
// button through PumpAndCheckCancel. Without a window only the flag answers.
bool CancelRequested(ScanState& state);

// The cluster loops' form: when `due`, the progress phase moves on to `at`
// (the window's Update, which answers Cancel as well). True once Cancel is
// known, from the flag or from the window.
bool CancelledAt(ScanState& state, uint64_t at, bool due);

}  // namespace vellum::volume
