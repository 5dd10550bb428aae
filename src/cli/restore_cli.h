// vellum-cli restore and wipe.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vellum::cli {

// args: everything after the command name. Exit status as the command line
// promises: 0 everything asked was done, 1 stopped on a reported error, 2 bad
// usage, 3 ran to the end but an item was skipped, failed or zero-filled
// (the summary names it), 130 interrupted.
int RunRestore(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunWipe(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// "1,4-9" (1-based) as 0-based row indices; false on a malformed list.
bool ParseRowList(const std::string& text, std::vector<size_t>& rows);

}  // namespace vellum::cli
