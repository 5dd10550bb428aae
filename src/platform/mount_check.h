// Whether a source is mounted: complete deletion writes to the volume and
// must never fight a file system driver that has it mounted.
#pragma once

#include <string>

namespace vellum::platform {

// True when the block device `sourcePath` (or one of its partitions), or the
// loop device backing the image file `sourcePath`, is mounted. mountinfo is
// the kernel's mount table (a parameter for tests).
bool IsSourceMounted(const std::string& sourcePath, const std::string& mountinfo = "/proc/self/mountinfo");

}  // namespace vellum::platform
