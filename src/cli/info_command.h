#pragma once

#include <iosfwd>
#include <string>

#include "volume/scan_state.h"

namespace vellum::cli {

// Opens SOURCE read-only, recognises its file system and loads its tables.
// On failure returns false with a message that names the source and the reason.
bool OpenSourceVolume(const std::string& source, volume::ScanState& state, std::string& error);

// Prints the recognised file system and the geometry, one name<TAB>value line each.
void PrintGeometry(const volume::ScanState& state, std::ostream& out);

int RunInfo(const std::string& source, std::ostream& out, std::ostream& err);

}  // namespace vellum::cli
