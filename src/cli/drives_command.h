#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vellum::cli {

// Prints the drive table, one TAB-separated line per entry: index, root
// text, drive type, display name, source path. Images that cannot be listed
// are reported on `err` and make the exit status 1; the others still print.
int RunDrives(const std::vector<std::string>& images, std::ostream& out, std::ostream& err);

}  // namespace vellum::cli
