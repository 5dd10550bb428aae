// Whether a destination folder can hold a restored alternate data stream
// under the name "FILE:STREAM": a Linux file system takes ':' in a name, and
// on Windows an NTFS folder makes "FILE:STREAM" a real stream of FILE.
// FAT, exFAT and the NTFS driver that keeps Windows' rules refuse it.
#pragma once

#include <string>

namespace vellum::platform {

bool FolderTakesStreamNames(const std::string& folder);

}  // namespace vellum::platform
