// Opening what a SOURCE path names: a device, a raw image, or an image
// container (E01, VHD, VHDX, VMDK, qcow, split raw), told apart by content.
#pragma once

#include <string>

#include "platform/images/image_open.h"
#include "platform/device_open.h"

namespace vellum::platform {

struct SourceFile {
  std::unique_ptr<BlockDevice> device;  // null on failure
  std::string kind;        // the container's format ("E01", "VHD", ...); empty for raw bytes
  std::string error;       // names the path and what is wrong; empty on success
  int errorCode = 0;       // errno when the system refused to open the path
  std::string systemText;  // the system's text for errorCode
};

// Opens `path` read-only, through the adapter its signature calls for.
// Asked for writing, a container is refused: its adapter cannot write, and
// what complete deletion overwrites must be the volume's own sectors.
SourceFile OpenSourceFile(const std::string& path, OpenAccess access = OpenAccess::ReadOnly);

// The refusal text for writing to a container of `kind`.
std::string ContainerWriteRefusal(const std::string& path, const std::string& kind);

}  // namespace vellum::platform
