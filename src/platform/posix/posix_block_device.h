// BlockDevice over a Linux block device or an image file, with pread/pwrite.
#pragma once

#include <string>

#include "platform/device_open.h"

namespace vellum::platform {

// Opens `path` read-only unless the caller asks for writing: only complete
// deletion ever writes to a source volume.
OpenResult OpenPosixDevice(const std::string& path, OpenAccess access = OpenAccess::ReadOnly);

}  // namespace vellum::platform
