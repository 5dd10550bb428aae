// The on-disk layout of NTFS, as far as this program reads it: the boot
// sector, the file record's header, the attribute header (resident and not),
// the values of the attributes it reads, and the attribute list's entries.
// Every field is named here once, with its offset and width, and read through
// the readers of volume/le.h.
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

// File record header ("FILE"). The update sequence's place is the same in
// every multi-sector structure (index blocks too).
inline constexpr ByteField kRecordSignature{0, 4};
inline constexpr Field16 kUpdateSequenceOffset{4};
inline constexpr Field16 kUpdateSequenceEntries{6};
inline constexpr Field16 kFirstAttributeOffset{20};
inline constexpr Field16 kRecordFlags{22};
// NTFS 3.1 keeps the record's own number here; its update sequence begins at
// 0x30, after the field, where older versions began it at 0x2A.
inline constexpr Field32 kRecordNumber{44};
inline constexpr uint16_t kRecordNumberFollowsFrom = 0x30;

// Attribute header, common part.
inline constexpr Field32 kAttributeType{0};
inline constexpr Field32 kAttributeLength{4};
inline constexpr Field8 kNonResident{8};
inline constexpr Field8 kAttributeNameUnits{9};
inline constexpr Field16 kAttributeNameOffset{10};
inline constexpr Field16 kAttributeFlags{12};
// Resident: the value's length and place; the header ends at 24.
inline constexpr Field32 kValueLength{16};
inline constexpr Field16 kValueOffset{20};
inline constexpr uint32_t kResidentHeaderBytes = 24;
// Non-resident: the clusters the run list covers, and the three sizes; the
// header ends at 64.
inline constexpr Field64 kFirstVcn{16};
inline constexpr Field64 kLastVcn{24};
inline constexpr Field16 kRunListOffset{32};
inline constexpr Field16 kCompressionUnit{34};
inline constexpr Field64 kAllocatedSize{40};
inline constexpr Field64 kDataSize{48};
inline constexpr Field64 kInitializedSize{56};
inline constexpr uint32_t kNonResidentHeaderBytes = 64;

// $STANDARD_INFORMATION's value (the times this program shows).
inline constexpr Field64 kInfoWrittenTime{8};

// $FILE_NAME's value: the parent's reference, then the name after 66 bytes.
inline constexpr Field64 kParentReference{0};
inline constexpr Field8 kFileNameUnits{64};
inline constexpr Field8 kFileNameSpace{65};
inline constexpr uint64_t kFileNameTextOffset = 66;

// $ATTRIBUTE_LIST entry: at least 32 bytes, its name inside its length.
inline constexpr Field32 kListEntryType{0};
inline constexpr Field16 kListEntryLength{4};
inline constexpr Field8 kListEntryNameUnits{6};
inline constexpr Field8 kListEntryNameOffset{7};
inline constexpr Field64 kListEntryFirstVcn{8};
inline constexpr Field64 kListEntryReference{16};
inline constexpr uint64_t kListEntryMinBytes = 32;

// The Recycle Bin's $I file: version 1 keeps a 520-byte path after 24 bytes,
// version 2 the path's length in units there and the path after it.
inline constexpr Field64 kBinVersion{0};
inline constexpr Field64 kBinFileSize{8};
inline constexpr Field64 kBinDeletedTime{16};
inline constexpr Field32 kBinPathUnits{24};
inline constexpr uint64_t kBinHeaderBytes = 24;

}  // namespace vellum::ntfs_layout
