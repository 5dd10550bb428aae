// The read-only adapters over the format libraries, one file each. Every
// one takes the path of a file whose signature named its format and gives a
// device whose BackingFiles() lists every file it reads.
#pragma once

#include <string>

#include "platform/images/image_open.h"

namespace vellum::platform {

// `format` is the word for messages: "E01", "VHD", ... as the signature said.
//
// E01/Ex01: the segment set `path` belongs to (E01, E02, ... beside it).
ImageOpen OpenEwfImage(const std::string& path, const std::string& format);
// VHD (fixed, dynamic, differencing with its parents) and VHDX.
ImageOpen OpenVhdiImage(const std::string& path, const std::string& format);
// VMDK: a sparse extent or a descriptor with its extents, and its parents.
ImageOpen OpenVmdkImage(const std::string& path, const std::string& format);
// qcow and qcow2, with their backing files.
ImageOpen OpenQcowImage(const std::string& path, const std::string& format);

}  // namespace vellum::platform
