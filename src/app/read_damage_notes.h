// What a command tells the user about the bytes the device could not give:
// the folders partly unreadable, how much was lost and what was skipped
// unread. Both the command line and the windows show these lines.
#pragma once

#include <string>
#include <vector>

#include "volume/scan_state.h"

namespace vellum::app {

std::vector<std::string> ReadDamageNotes(const volume::ScanState& state);

}  // namespace vellum::app
