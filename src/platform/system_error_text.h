// The system's reason for a failure, in the program's own words: the common
// ones in Japanese like every other message, the rest as the system puts them.
#pragma once

#include <string>

namespace vellum::platform {

// `code` is an errno value (the Windows adapter maps its codes onto them).
std::string SystemErrorText(int code);

}  // namespace vellum::platform
