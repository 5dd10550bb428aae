#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "volume/scan_state.h"

namespace vellum::cli {

// Opens SOURCE read-only (partition 1..N of a whole disk, or 0 for the source
// as a whole), recognises its file system and loads its tables. On failure
// returns false with a message that names the source and the reason;
// `usage`, when given, says whether the partition asked for was the fault.
bool OpenSourceVolume(const std::string& source, uint32_t partition, volume::ScanState& state, std::string& error,
                      bool* usage = nullptr);

// Prints the recognised file system and the geometry, one name<TAB>value line each.
void PrintGeometry(const volume::ScanState& state, std::ostream& out);

int RunInfo(const std::string& source, uint32_t partition, std::ostream& out, std::ostream& err);

}  // namespace vellum::cli
