#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "fat/fat_entry.h"
#include "volume/exfat_layout.h"
#include "volume/fat_layout.h"
#include "volume/le.h"
#include "volume/ntfs_layout.h"
#include "volume/partition_layout.h"

namespace vellum {
namespace {

using Span = std::pair<uint64_t, uint64_t>;  // offset, width

// Whether the fields cover [0, size) once each: no gap, no overlap, none past the end.
bool TileExactly(std::vector<Span> fields, uint64_t size) {
  std::vector<int> covered(size, 0);
  for (const auto& [offset, width] : fields)
    for (uint64_t i = offset; i < offset + width; ++i) {
      if (i >= size) return false;
      ++covered[i];
    }
  for (const int c : covered)
    if (c != 1) return false;
  return true;
}

// A mistyped offset or width in a layout header shows as a gap or an overlap:
// the short entry and the long-name slot are each 32 bytes, field by field.
TEST(Layout, TheFatEntryAndTheLongNameSlotAreEachTiledByTheirFields) {
  using namespace fat_layout;
  const auto w = [](auto f) { return Span{f.offset, f.kWidth}; };
  const auto b = [](ByteField f) { return Span{f.offset, f.length}; };
  EXPECT_TRUE(TileExactly({b(kShortName), w(kAttributes), w(kCaseFlags), w(kCreateTenths), w(kCreateTime),
                           w(kCreateDate), w(kAccessDate), w(kFirstClusterHigh), w(kWriteTime), w(kWriteDate),
                           w(kFirstClusterLow), w(kFileSize)},
                          kEntryBytes));
  EXPECT_TRUE(TileExactly({w(kSlotSequence), b(kSlotUnits1), w(kAttributes), w(kSlotType), w(kSlotChecksum),
                           b(kSlotUnits2), b(kSlotFirstCluster), b(kSlotUnits3)},
                          kEntryBytes));
  EXPECT_EQ((kSlotUnits1.length + kSlotUnits2.length + kSlotUnits3.length) / 2, fat::kUnitsPerSlot);
  // The label and type text of either boot sector layout stand after its serial.
  EXPECT_EQ(kSerial16.End(), kLabel16.offset);
  EXPECT_EQ(kLabel16.End(), kTypeText16.offset);
  EXPECT_EQ(kSerial32.End(), kLabel32.offset);
  EXPECT_EQ(kLabel32.End(), kTypeText32.offset);
}

// exFAT's entries leave reserved bytes between their fields, but none of the
// fields read overlaps another of its entry or runs past 32 bytes.
TEST(Layout, ExfatFieldsStayInsideTheirEntryApart) {
  using namespace exfat_layout;
  const auto apart = [](std::vector<Span> fields) {
    std::vector<int> covered(kEntryBytes, 0);
    for (const auto& [offset, width] : fields)
      for (uint64_t i = offset; i < offset + width; ++i)
        if (i >= kEntryBytes || ++covered[i] > 1) return false;
    return true;
  };
  const auto w = [](auto f) { return Span{f.offset, f.kWidth}; };
  EXPECT_TRUE(apart({w(kEntryType), w(kSecondaryCount), w(kFileAttributes), w(kModifyTime), w(kModifyDate),
                     w(kModify10ms), w(kModifyUtcOffset)}));
  EXPECT_TRUE(apart({w(kEntryType), w(kGeneralFlags), w(kValidDataLength), w(kFirstCluster), w(kDataLength)}));
  EXPECT_TRUE(apart({w(kEntryType), w(kBitmapFirstCluster), w(kBitmapLength)}));
  EXPECT_TRUE(apart({w(kEntryType), w(kLabelUnitCount), {kLabelUnits.offset, kLabelUnits.length}}));
  EXPECT_EQ(kNameUnitsOffset + 2 * kUnitsPerNameEntry, kEntryBytes);
  EXPECT_EQ(kLabelUnits.length, 2 * kMaxLabelUnits + 8);  // 22 bytes of units, 8 reserved
  // Both forms of every type the directory tests accept; the rest are not entries.
  for (const uint8_t type : {kBitmapEntry, kLabelEntry, kFileLive, kStreamLive, kNameLive}) {
    EXPECT_TRUE(IsKnownEntryType(type)) << int{type};
    EXPECT_TRUE(IsKnownEntryType(type & static_cast<uint8_t>(~kInUseBit))) << int{type};
  }
  EXPECT_FALSE(IsKnownEntryType(0x04));
  EXPECT_FALSE(IsKnownEntryType(0xFF));
}

// The attribute header's two forms each fill their fixed size, and an MBR
// entry its 16 bytes (its CHS fields unread), so a mistyped offset shows.
TEST(Layout, NtfsAttributeHeadersAndTheMbrEntryAreTiledByTheirFields) {
  using namespace ntfs_layout;
  const auto w = [](auto f) { return Span{f.offset, f.kWidth}; };
  const std::vector<Span> common = {w(kAttributeType), w(kAttributeLength), w(kNonResident),
                                    w(kAttributeNameUnits), w(kAttributeNameOffset), w(kAttributeFlags),
                                    {14, 2}};  // the attribute's number
  std::vector<Span> resident = common;
  resident.insert(resident.end(), {w(kValueLength), w(kValueOffset), {22, 2}});  // indexed flag, padding
  EXPECT_TRUE(TileExactly(resident, kResidentHeaderBytes));
  std::vector<Span> nonResident = common;
  nonResident.insert(nonResident.end(), {w(kFirstVcn), w(kLastVcn), w(kRunListOffset), w(kCompressionUnit),
                                         {36, 4}, w(kAllocatedSize), w(kDataSize), w(kInitializedSize)});
  EXPECT_TRUE(TileExactly(nonResident, kNonResidentHeaderBytes));
  EXPECT_EQ(kFileNameSpace.End(), kFileNameTextOffset);
  EXPECT_EQ(kListEntryReference.End() + 8, kListEntryMinBytes);  // the attribute id and padding
  EXPECT_EQ(kBinDeletedTime.End(), kBinHeaderBytes);

  using namespace partition_layout;
  EXPECT_TRUE(TileExactly({w(kEntryBootFlag), {1, 3}, w(kEntryType), {5, 3}, w(kEntryFirstSector),
                           w(kEntrySectorCount)},
                          kMbrEntryBytes));
  EXPECT_EQ(kMbrEntries + kMbrSlots * kMbrEntryBytes, kBootSignature.offset);
  EXPECT_EQ(kGptEntriesCrc.End(), kGptHeaderMinBytes);
}

// A field of the entry at `base` reads as the plain reader at base + offset
// does, 0 once it is cut by the buffer's end; a byte field past the end
// counts as zero, so a long-name slot cut inside its cluster field is judged
// by the bytes it has, as before the fields were named.
TEST(Layout, NamedFieldsReadLikeThePlainReadersAtTheBuffersEnd) {
  std::vector<uint8_t> bytes(64, 0);
  bytes[32 + 28] = 0x78;
  bytes[32 + 29] = 0x56;
  bytes[32 + 30] = 0x34;
  bytes[32 + 31] = 0x12;
  EXPECT_EQ(Le(bytes, 32, fat_layout::kFileSize), 0x12345678u);
  EXPECT_EQ(Le(ByteView(bytes).first(63), 32, fat_layout::kFileSize), 0u);
  FieldReader r(ByteView(bytes).subspan(32));
  EXPECT_EQ(r.Read(fat_layout::kFileSize), 0x12345678u);
  EXPECT_TRUE(r.Ok());
  EXPECT_TRUE(r.Read(fat_layout::kShortName).size() == 11);

  std::vector<uint8_t> slot(32, 0);
  slot[11] = fat_layout::kAttrLongName;
  EXPECT_TRUE(fat::IsLongNameEntry(slot));
  slot[26] = 1;
  EXPECT_FALSE(fat::IsLongNameEntry(slot));
  EXPECT_FALSE(fat::IsLongNameEntry(ByteView(slot).first(27)));  // the byte it has is not 0
  EXPECT_TRUE(fat::IsLongNameEntry(ByteView(slot).first(26)));
}

}  // namespace
}  // namespace vellum
