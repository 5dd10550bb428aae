// vellum-cli search: the search command from a terminal, writing the result
// list as a search-results file.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vellum::cli {

// args: everything after "search". Exit status as the command line promises:
// 0 ran, 1 stopped on a reported error, 2 bad usage, 130 interrupted.
int RunSearch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// vellum-cli full-scan: every cluster of a range, used ones too; --yes answers its question.
int RunFullScan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vellum::cli
