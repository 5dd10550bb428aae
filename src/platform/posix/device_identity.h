// Whether a path lies on a given block device: a restore or a results file
// written there could overwrite the very clusters it came from.
#pragma once

#include <string>

namespace vellum::platform {

// True when `path` (a file or folder to be written, which need not exist
// yet) lies on a file system of the block device `sourcePath`, or of one of
// its partitions. An image-file source is never the device of a path.
bool IsOnSourceDevice(const std::string& path, const std::string& sourcePath);

}  // namespace vellum::platform
