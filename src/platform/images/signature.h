// What kind of container a file is, told by the bytes it starts (or, for a
// fixed VHD, ends) with. A file's name says nothing: people rename images, and
// tools name their output as they please.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/block_device.h"

namespace vellum::platform {

enum class ContainerKind {
  None,         // a raw image or a device: the volume's own bytes
  Ewf,          // E01 segment set
  Ewf2,         // Ex01 segment set
  EwfLogical,   // L01/Lx01: copied files, not a disk
  Vhd,
  Vhdx,
  Vmdk,         // sparse extent or descriptor file
  Qcow,         // version 1
  Qcow2,        // versions 2 and 3
  SplitRaw,     // pieces .001 .002 ... (recognised by their names, having no signature)
};

// The name people know the format by, for messages and the drive list.
std::string ContainerName(ContainerKind kind);

// The kind from the file's first sector and its last 512 bytes (a fixed
// VHD's footer). `tail` may be empty when the file is shorter than 512 bytes.
ContainerKind DetectContainer(std::span<const uint8_t> head, std::span<const uint8_t> tail);

// The same, read from an opened file.
ContainerKind DetectContainer(BlockDevice& file);

}  // namespace vellum::platform
