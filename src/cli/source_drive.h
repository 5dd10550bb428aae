// The drive table a command-line command works with: the source alone.
#pragma once

#include <cstdint>
#include <string>

#include "cli/source_args.h"
#include "volume/drives.h"

namespace vellum::cli {

// Fills `table` with the source's entries (one per partition of a whole
// disk) and returns the index of the chosen one, or -1 with an error that
// names the source and the reason.
int32_t SourceDriveTable(const SourceArgs& args, volume::DriveTable& table, std::string& error);

}  // namespace vellum::cli
