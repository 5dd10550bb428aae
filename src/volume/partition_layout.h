// The on-disk layout of the two partition tables this program reads: the
// master boot record (and each extended boot record, which has its shape)
// and the GUID partition table's header and entries. Every field is named
// here once, with its offset and width, and read through volume/le.h.
#pragma once

#include <cstdint>

#include "volume/le.h"

namespace vellum::partition_layout {

// Master boot record: four 16-byte entries from byte 446, then 0x55 0xAA.
inline constexpr uint64_t kMbrEntries = 446;
inline constexpr uint64_t kMbrEntryBytes = 16;
inline constexpr int kMbrSlots = 4;
inline constexpr Field16 kBootSignature{510};
inline constexpr uint16_t kBootSignatureValue = 0xAA55;

// One MBR entry.
inline constexpr Field8 kEntryBootFlag{0};
inline constexpr Field8 kEntryType{4};
inline constexpr Field32 kEntryFirstSector{8};
inline constexpr Field32 kEntrySectorCount{12};

// GPT header, at LBA 1 (and its backup at the last LBA).
inline constexpr ByteField kGptSignature{0, 8};  // "EFI PART"
inline constexpr Field32 kGptHeaderSize{12};
inline constexpr Field32 kGptHeaderCrc{16};
inline constexpr Field64 kGptEntryLba{72};
inline constexpr Field32 kGptEntryCount{80};
inline constexpr Field32 kGptEntrySize{84};
inline constexpr Field32 kGptEntriesCrc{88};
inline constexpr uint32_t kGptHeaderMinBytes = 92;

// One GPT entry (at least 128 bytes).
inline constexpr ByteField kGptEntryType{0, 16};
inline constexpr Field64 kGptEntryFirstLba{32};
inline constexpr Field64 kGptEntryLastLba{40};
inline constexpr uint32_t kGptEntryMinBytes = 128;

}  // namespace vellum::partition_layout
