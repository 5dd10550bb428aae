// BlockDevice over a Linux block device or an image file, with pread/pwrite.
#pragma once

#include <memory>
#include <string>

#include "platform/block_device.h"

namespace vellum::platform {

enum class OpenAccess { ReadOnly, ReadWrite };

struct OpenResult {
  std::unique_ptr<BlockDevice> device;
  int errorCode = 0;      // errno of the failed open, 0 on success
  std::string errorText;  // the system's text for errorCode
};

// Opens `path` read-only unless the caller asks for writing: only complete
// deletion ever writes to a source volume.
OpenResult OpenPosixDevice(const std::string& path, OpenAccess access = OpenAccess::ReadOnly);

}  // namespace vellum::platform
