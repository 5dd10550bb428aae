// --map MAPFILE: the GNU ddrescue mapfile of a rescued image. Its areas not
// marked finished are read as a failing disk's bad sectors.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "volume/read_damage.h"

namespace vellum::cli {

// Reads the mapfile and checks it against the source's size. 0 to go on,
// or the exit status after the reason (with the line it failed on) went to `err`.
int LoadMapFile(const std::string& mapPath, const std::string& sourcePath, std::vector<volume::ByteRange>& areas,
                std::ostream& err);

}  // namespace vellum::cli
