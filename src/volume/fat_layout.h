// The on-disk layout of FAT12, FAT16 and FAT32: the boot sector's fields and
// the 32-byte directory entry, as a short entry and as a long-name slot.
// Every field is named here once, with its offset and width; the code that
// reads or writes these structures goes through these names and the readers
// of volume/le.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "volume/le.h"

namespace vellum::fat_layout {

// Boot sector. The fields up to 36 are common to all three; FAT12/16 then
// carry the serial, label and type text at 39..61, FAT32 its own fields and
// the same three further on.
inline constexpr Field8 kJump{0};  // 0xEB or 0xE9 on every formatted volume
inline constexpr Field16 kBytesPerSector{11};
inline constexpr Field8 kSectorsPerCluster{13};
inline constexpr Field16 kReservedSectors{14};
inline constexpr Field8 kFatCount{16};
inline constexpr Field16 kRootEntryCount{17};
inline constexpr Field16 kTotalSectors16{19};
inline constexpr Field16 kFatSectors16{22};
inline constexpr Field32 kTotalSectors32{32};
inline constexpr Field32 kSerial16{39};
inline constexpr ByteField kLabel16{43, 11};
inline constexpr ByteField kTypeText16{54, 8};
inline constexpr Field32 kFatSectors32{36};
inline constexpr Field32 kRootCluster32{44};
inline constexpr Field32 kSerial32{67};
inline constexpr ByteField kLabel32{71, 11};
inline constexpr ByteField kTypeText32{82, 8};

// Directory entry. The first name byte also says what the entry is: 0 ends
// the directory, 0xE5 marks it deleted, 0x05 stands for a first byte 0xE5.
inline constexpr size_t kEntryBytes = 32;
inline constexpr ByteField kShortName{0, 11};
inline constexpr Field8 kNameFirstByte{0};
inline constexpr Field8 kAttributes{11};
inline constexpr Field8 kCaseFlags{12};
inline constexpr Field8 kCreateTenths{13};
inline constexpr Field16 kCreateTime{14};
inline constexpr Field16 kCreateDate{16};
inline constexpr Field16 kAccessDate{18};
inline constexpr Field16 kFirstClusterHigh{20};
inline constexpr Field16 kWriteTime{22};
inline constexpr Field16 kWriteDate{24};
inline constexpr Field16 kFirstClusterLow{26};
inline constexpr Field32 kFileSize{28};

inline constexpr uint8_t kEndMark = 0x00;
inline constexpr uint8_t kDeletedMark = 0xE5;
inline constexpr uint8_t kE5StandIn = 0x05;

// Attribute bits.
inline constexpr uint8_t kAttrVolumeLabel = 0x08;
inline constexpr uint8_t kAttrDirectory = 0x10;
inline constexpr uint8_t kAttrLongName = 0x0F;  // read-only, hidden, system and label: a long-name slot
inline constexpr uint8_t kReservedAttributes = 0xC0;

// Long-name slot: the same 32 bytes with the long-name attributes. Its 13
// UTF-16 units stand in three pieces around the attribute byte, type,
// checksum and a first-cluster field that is always 0.
inline constexpr Field8 kSlotSequence{0};
inline constexpr ByteField kSlotUnits1{1, 10};
inline constexpr Field8 kSlotType{12};
inline constexpr Field8 kSlotChecksum{13};
inline constexpr ByteField kSlotUnits2{14, 12};
inline constexpr ByteField kSlotFirstCluster{26, 2};
inline constexpr ByteField kSlotUnits3{28, 4};
inline constexpr uint8_t kLastSlotFlag = 0x40;

}  // namespace vellum::fat_layout
