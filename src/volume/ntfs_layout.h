// The on-disk layout of NTFS, as far as this program reads it through these
// names: the boot sector's fields. Every field is named here once, with its
// offset and width, and read through the readers of volume/le.h.
#pragma once

#include <cstdint>

#include "volume/fat_layout.h"
#include "volume/le.h"

namespace vellum::ntfs_layout {

// Boot sector.
inline constexpr ByteField kOemId{3, 8};  // "NTFS    "
// The BIOS parameter block begins as FAT's does; the sectors-per-cluster
// byte above 0x80 is a negative power of two here.
using fat_layout::kBytesPerSector;
using fat_layout::kSectorsPerCluster;
inline constexpr Field64 kTotalSectors{40};
inline constexpr Field64 kMftCluster{48};
inline constexpr Field32 kClustersPerMftRecord{64};  // above 127 a negative power of two, in bytes
inline constexpr Field32 kVolumeSerial{72};  // the low half of the 64-bit serial, as the system reports it

}  // namespace vellum::ntfs_layout
