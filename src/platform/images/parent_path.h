// Where the parent of a differencing disk (or a qcow backing file) is. The
// child names it as the machine that made it saw it: often an absolute path
// on another machine, sometimes with backslashes. People copy a chain into
// one folder, so the child's own folder is looked in first.
#pragma once

#include <string>
#include <vector>

namespace vellum::platform {

// The places to try, in order: the stored name's last component beside the
// child, a relative stored name from the child's folder, an absolute one as
// it is.
std::vector<std::string> ParentCandidates(const std::string& childPath, const std::string& storedName);

// The first candidate that is a regular file; empty when none is.
std::string FindParent(const std::string& childPath, const std::string& storedName);

// A differencing chain longer than this is taken for a loop.
inline constexpr int kMaxParentDepth = 32;

}  // namespace vellum::platform
