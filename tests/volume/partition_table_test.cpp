#include "volume/partition_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/posix/posix_block_device.h"
#include "volume/scan_state.h"

namespace vellum::volume {
namespace {

constexpr uint64_t kSector = 512;

std::vector<uint8_t> ReadImage(const std::string& name) {
  std::ifstream in(std::string(VELLUM_TEST_IMAGES) + "/" + name, std::ios::binary | std::ios::ate);
  std::vector<uint8_t> bytes(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

PartitionTable TableOf(std::vector<uint8_t> bytes) {
  platform::MemoryBlockDevice disk(std::move(bytes));
  return ReadPartitionTable(disk);
}

void PutEntry(std::vector<uint8_t>& b, uint64_t sector, int slot, uint8_t type, uint32_t start,
              uint32_t count, uint8_t boot = 0) {
  const uint64_t at = sector * kSector + 446 + 16 * slot;
  b[at] = boot;
  b[at + 4] = type;
  PutLe32(b, at + 8, start);
  PutLe32(b, at + 12, count);
  PutLe16(b, sector * kSector + 510, 0xAA55);
}

struct Expected {
  uint64_t startSector, sectors;
  uint8_t fsKind;
};

void ExpectPartitions(const PartitionTable& t, const std::vector<Expected>& want) {
  ASSERT_EQ(t.partitions.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(t.partitions[i].number, i + 1);
    EXPECT_EQ(t.partitions[i].startByte, want[i].startSector * kSector);
    EXPECT_EQ(t.partitions[i].lengthBytes, want[i].sectors * kSector);
    EXPECT_EQ(t.partitions[i].fsKind, want[i].fsKind);
    EXPECT_FALSE(t.partitions[i].clipped);
  }
}

// The figures are mmls's for the committed images (tests/data/MANIFEST.md).
TEST(PartitionTable, MbrImageMatchesMmls) {
  auto opened = platform::OpenPosixDevice(std::string(VELLUM_TEST_IMAGES) + "/disk-mbr.img");
  ASSERT_TRUE(opened.device);
  const PartitionTable t = ReadPartitionTable(*opened.device);
  EXPECT_EQ(t.kind, TableKind::Mbr);
  // Both logical partitions are type 0x07; only the boot sector tells exFAT from NTFS.
  ExpectPartitions(t, {{2048, 12288, kFat16}, {14336, 69632, kFat32},
                       {86016, 16384, kNtfs}, {104448, 8192, kExfat}});
  EXPECT_EQ(t.partitions[1].mbrType, 0x0C);
  EXPECT_FALSE(t.partitions[1].logical);
  EXPECT_TRUE(t.partitions[2].logical);
  EXPECT_EQ(t.partitions[3].mbrType, 0x07);
}

TEST(PartitionTable, GptImageMatchesMmls) {
  const PartitionTable t = TableOf(ReadImage("disk-gpt.img"));
  EXPECT_EQ(t.kind, TableKind::Gpt);
  ExpectPartitions(t, {{2048, 8192, kExfat}, {10240, 4096, kFat12}, {14336, 16384, kNtfs}});
  EXPECT_EQ(FormatGuid(t.partitions[0].gptType), "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7");
}

TEST(PartitionTable, DamagedGptPrimaryFallsBackToTheBackup) {
  auto bytes = ReadImage("disk-gpt.img");
  ASSERT_GT(bytes.size(), 4 * kSector);
  // An absurd entry count breaks the primary header's checksum...
  PutLe32(bytes, kSector + 80, 0xFFFFFFFF);
  // ...and a wiped first entry would lose partition 1 if the primary were used.
  std::memset(bytes.data() + 2 * kSector, 0, 128);
  const PartitionTable t = TableOf(bytes);
  EXPECT_EQ(t.kind, TableKind::Gpt);
  ExpectPartitions(t, {{2048, 8192, kExfat}, {10240, 4096, kFat12}, {14336, 16384, kNtfs}});
}

// A protective MBR and a GPT header with no valid checksum anywhere: the
// header's shape is all we have.
std::vector<uint8_t> HandMadeGpt(uint32_t entryCount, uint32_t entrySize) {
  std::vector<uint8_t> b(64 * kSector);
  PutEntry(b, 0, 0, 0xEE, 1, 63);
  std::memcpy(b.data() + kSector, "EFI PART", 8);
  PutLe32(b, kSector + 12, 92);
  PutLe32(b, kSector + 72, 2);
  PutLe32(b, kSector + 80, entryCount);
  PutLe32(b, kSector + 84, entrySize);
  b[2 * kSector] = 0xA2;  // a nonzero type
  PutLe32(b, 2 * kSector + 32, 34);
  PutLe32(b, 2 * kSector + 40, 41);
  return b;
}

TEST(PartitionTable, HostileGptHeaders) {
  // Four billion entries: only what the cap admits is read, and the zero
  // entries after the first one list nothing.
  ExpectPartitions(TableOf(HandMadeGpt(0xFFFFFFFF, 128)), {{34, 8, kFsNone}});
  ExpectPartitions(TableOf(HandMadeGpt(0xFFFFFFFF, 4096)), {{34, 8, kFsNone}});
  // Entry sizes below the minimum, unaligned or huge are no GPT; the
  // protective entry alone lists nothing.
  for (uint32_t size : {0u, 64u, 130u, 8192u, 0xFFFFFFF8u}) {
    SCOPED_TRACE(size);
    const PartitionTable t = TableOf(HandMadeGpt(4, size));
    EXPECT_EQ(t.kind, TableKind::Mbr);
    EXPECT_TRUE(t.partitions.empty());
  }
  // An LBA whose byte offset overflows keeps its number and holds nothing.
  auto b = HandMadeGpt(2, 128);
  b[2 * kSector + 128] = 0xA2;
  PutLe32(b, 2 * kSector + 128 + 32 + 4, 0xFFFFFFF0);
  PutLe32(b, 2 * kSector + 128 + 40 + 4, 0xFFFFFFF1);
  const PartitionTable t = TableOf(b);
  ASSERT_EQ(t.partitions.size(), 2u);
  EXPECT_EQ(t.partitions[1].number, 2u);
  EXPECT_EQ(t.partitions[1].lengthBytes, 0u);
  EXPECT_TRUE(t.partitions[1].clipped);
}

// An MBR with one primary and an extended container at 4096 whose chain of
// extended boot records is laid out by `links` (each EBR's link, relative to
// the container; 0 ends the chain).
std::vector<uint8_t> ChainDisk(const std::vector<uint32_t>& ebrOffsets, const std::vector<uint32_t>& links,
                               uint64_t sectors) {
  std::vector<uint8_t> b(sectors * kSector);
  PutEntry(b, 0, 0, 0x06, 2048, 1000);
  PutEntry(b, 0, 1, 0x0F, 4096, static_cast<uint32_t>(sectors - 4096));
  for (size_t i = 0; i < ebrOffsets.size(); ++i) {
    const uint64_t ebr = 4096 + ebrOffsets[i];
    PutEntry(b, ebr, 0, 0x07, 1, 2);
    if (links[i] != 0) PutEntry(b, ebr, 1, 0x05, links[i], 3);
  }
  return b;
}

TEST(PartitionTable, ExtendedChainLoopsEnd) {
  // A -> B -> C -> B: three logical partitions, then the walk stops.
  PartitionTable t = TableOf(ChainDisk({0, 100, 200}, {100, 200, 100}, 8192));
  ExpectPartitions(t, {{2048, 1000, kFat16}, {4097, 2, kNtfs}, {4197, 2, kNtfs}, {4297, 2, kNtfs}});
  // A record that links to itself.
  t = TableOf(ChainDisk({0, 100}, {100, 100}, 8192));
  EXPECT_EQ(t.partitions.size(), 3u);
}

// Three primary partitions and an extended one whose first record holds two
// logical partitions and a link in its third slot: all six are found, in
// chain order, where reading only slots 0 and 1 found four.
TEST(PartitionTable, EveryEntryOfAnExtendedRecordCounts) {
  std::vector<uint8_t> b(8192 * kSector);
  PutEntry(b, 0, 0, 0x06, 2048, 1000);
  PutEntry(b, 0, 1, 0x06, 3048, 500);
  PutEntry(b, 0, 2, 0x06, 3548, 500);
  PutEntry(b, 0, 3, 0x0F, 4096, 4096);
  PutEntry(b, 4096, 0, 0x06, 1, 10);
  PutEntry(b, 4096, 1, 0x06, 20, 10);
  PutEntry(b, 4096, 2, 0x05, 100, 50);
  PutEntry(b, 4196, 0, 0x06, 1, 10);
  ExpectPartitions(TableOf(std::move(b)), {{2048, 1000, kFat16},
                                           {3048, 500, kFat16},
                                           {3548, 500, kFat16},
                                           {4097, 10, kFat16},
                                           {4116, 10, kFat16},
                                           {4197, 10, kFat16}});
}

TEST(PartitionTable, ExtendedChainIsCapped) {
  std::vector<uint32_t> offsets, links;
  for (uint32_t i = 0; i < 300; ++i) {
    offsets.push_back(i * 4);
    links.push_back((i + 1) * 4);
  }
  const PartitionTable t = TableOf(ChainDisk(offsets, links, 4096 + 1300));
  EXPECT_EQ(t.partitions.size(), 1 + kMaxLogicalPartitions);
}

TEST(PartitionTable, PartitionsPastTheEndAreClippedAndKeepTheirNumbers) {
  std::vector<uint8_t> b(4096 * kSector);
  PutEntry(b, 0, 0, 0x06, 5000, 100);   // starts past the end
  PutEntry(b, 0, 1, 0x0C, 4000, 1000);  // runs past the end
  PutEntry(b, 0, 2, 0x07, 0xFFFFFFFF, 0xFFFFFFFF);
  PutEntry(b, 0, 3, 0x0B, 100, 10);
  const PartitionTable t = TableOf(b);
  ASSERT_EQ(t.partitions.size(), 4u);
  EXPECT_EQ(t.partitions[0].lengthBytes, 0u);
  EXPECT_EQ(t.partitions[1].lengthBytes, 96 * kSector);
  EXPECT_TRUE(t.partitions[1].clipped);
  EXPECT_EQ(t.partitions[2].lengthBytes, 0u);
  EXPECT_EQ(t.partitions[3].number, 4u);
  EXPECT_EQ(t.partitions[3].lengthBytes, 10 * kSector);
  EXPECT_FALSE(t.partitions[3].clipped);
}

TEST(PartitionTable, SuperfloppyOrPartitionedDisk) {
  // Volumes formatted whole: their boot sectors end in 0x55AA too.
  for (const char* image : {"fat12.img", "fat16.img", "fat32-512.img", "exfat.img", "ntfs-4k.img"}) {
    SCOPED_TRACE(image);
    EXPECT_EQ(TableOf(ReadImage(image)).kind, TableKind::None);
  }
  // A FAT16 boot sector whose boot code happens to hold one sane-looking
  // entry is still a volume...
  auto fat = ReadImage("fat16.img");
  ASSERT_GT(fat.size(), 200 * kSector);
  std::vector<uint8_t> disk(fat.begin(), fat.begin() + 200 * kSector);
  for (int i = 446; i < 510; ++i) disk[i] = 0;
  PutEntry(disk, 0, 0, 0x06, 100, 100);
  EXPECT_EQ(TableOf(disk).kind, TableKind::None);
  // ...until the partition it names holds a volume of its own: a stick
  // formatted whole and partitioned later.
  std::copy_n(fat.begin(), kSector, disk.begin() + 100 * kSector);
  PartitionTable t = TableOf(disk);
  EXPECT_EQ(t.kind, TableKind::Mbr);
  ExpectPartitions(t, {{100, 100, kFat16}});

  // Blank, signature only, and text where the entries stand.
  std::vector<uint8_t> blank(8 * kSector);
  EXPECT_EQ(TableOf(blank).kind, TableKind::None);
  PutLe16(blank, 510, 0xAA55);
  EXPECT_EQ(TableOf(blank).kind, TableKind::None);
  PutEntry(blank, 0, 0, 0x06, 2, 4, 0x41);
  EXPECT_EQ(TableOf(blank).kind, TableKind::None);
  EXPECT_EQ(TableOf({}).kind, TableKind::None);
}

}  // namespace
}  // namespace vellum::volume
