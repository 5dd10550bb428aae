#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vellum::cli {

// Prints the drive table, one TAB-separated line per entry that holds a
// recognised volume or comes from a partition table: index, root text,
// drive type, display name, source path, file system, bytes, label. With
// `all` every entry, and a ninth column says why one holds nothing to
// search. Images that cannot be listed are reported on `err` and make the
// exit status 1; the others still print.
int RunDrives(const std::vector<std::string>& images, bool all, std::ostream& out, std::ostream& err);

}  // namespace vellum::cli
