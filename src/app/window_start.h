// What both windows make of their command line before they show: image
// files for the drive box, and --bios-disk DISK (repeatable; also
// --bios-disk=DISK), which takes the legacy path with DISK as the disk
// BIOS's next unit.
#pragma once

#include <string>
#include <vector>

#include "app/legacy_path.h"

namespace vellum::app {

struct WindowArguments {
  std::vector<std::string> images;
  std::vector<std::string> biosDisks;
};

// The arguments after the program's name. Anything else, a --bios-disk
// without its disk too, is an image for the drive box.
WindowArguments ParseWindowArguments(const std::vector<std::string>& arguments);

// Each disk becomes the next unit of the bound layer: writable where the
// file lets us (complete deletion writes through the BIOS too, and only
// after its question), else read-only. The reasons of those that could be
// neither, in order; the others are units all the same.
std::vector<std::string> AddWindowBiosUnits(LegacyPath& path, const std::vector<std::string>& disks);

}  // namespace vellum::app
