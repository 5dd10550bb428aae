// The on-disk layout of exFAT: the boot sector's fields and the 32-byte
// entries of a directory (the File entry, its Stream Extension and File Name
// entries, and the Allocation Bitmap and Volume Label entries of the root).
// Every field is named here once, with its offset and width; the code that
// reads or writes these structures goes through these names and the readers
// of volume/le.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "volume/le.h"

namespace vellum::exfat_layout {

// Boot sector.
inline constexpr ByteField kFileSystemName{3, 8};  // "EXFAT   "
inline constexpr Field32 kFatOffset{80};
inline constexpr Field32 kFatLength{84};
inline constexpr Field32 kClusterHeapOffset{88};
inline constexpr Field32 kClusterCount{92};
inline constexpr Field32 kRootCluster{96};
inline constexpr Field32 kVolumeSerial{100};
inline constexpr Field8 kBytesPerSectorShift{108};
inline constexpr Field8 kSectorsPerClusterShift{109};

// Every directory entry: 32 bytes, the first its type. The top bit of the
// type says the entry is in use; a deleted entry keeps the rest of it.
inline constexpr size_t kEntryBytes = 32;
inline constexpr Field8 kEntryType{0};
inline constexpr uint8_t kInUseBit = 0x80;

inline constexpr uint8_t kBitmapEntry = 0x81;
inline constexpr uint8_t kLabelEntry = 0x83;
inline constexpr uint8_t kFileLive = 0x85, kFileDeleted = 0x05;
inline constexpr uint8_t kStreamLive = 0xC0, kStreamDeleted = 0x40;
inline constexpr uint8_t kNameLive = 0xC1, kNameDeleted = 0x41;

// The entry types a directory holds, read with the in-use bit cleared:
// allocation bitmap, up-case table, volume label, File, volume GUID, padding,
// access control, Stream Extension, File Name and the two vendor entries.
constexpr bool IsKnownEntryType(uint8_t type) {
  switch (type & static_cast<uint8_t>(~kInUseBit)) {
    case 0x01: case 0x02: case 0x03: case 0x05:
    case 0x20: case 0x21: case 0x22: case 0x40: case 0x41: case 0x60: case 0x61:
      return true;
    default:
      return false;
  }
}

// File entry.
inline constexpr Field8 kSecondaryCount{1};
inline constexpr Field32 kFileAttributes{4};  // 16 bits of attributes and 16 reserved, read whole
inline constexpr Field16 kModifyTime{12};
inline constexpr Field16 kModifyDate{14};
inline constexpr Field8 kModify10ms{21};
inline constexpr Field8 kModifyUtcOffset{23};

// Stream Extension entry.
inline constexpr Field8 kGeneralFlags{1};  // bit 1 set: no FAT chain (the clusters are contiguous)
inline constexpr Field64 kValidDataLength{8};
inline constexpr Field32 kFirstCluster{20};
inline constexpr Field64 kDataLength{24};
inline constexpr uint8_t kFatChainFlags = 1;  // flags with only "allocation possible": the FAT holds the chain

// File Name entry: 15 UTF-16 units of the name.
inline constexpr uint64_t kNameUnitsOffset = 2;
inline constexpr size_t kUnitsPerNameEntry = 15;

// Allocation Bitmap entry.
inline constexpr Field32 kBitmapFirstCluster{20};
inline constexpr Field64 kBitmapLength{24};

// Volume Label entry: a count of units, then up to 11 UTF-16 units.
inline constexpr Field8 kLabelUnitCount{1};
inline constexpr ByteField kLabelUnits{2, 30};
inline constexpr size_t kMaxLabelUnits = 11;

}  // namespace vellum::exfat_layout
