#include "volume/boot_sector.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/memory_volume.h"
#include "volume/fixups.h"
#include "volume/sector_io.h"

namespace vellum::volume {
namespace {

std::vector<uint8_t> Sector(size_t size = 512) { return std::vector<uint8_t>(size, 0); }

void PutText(std::vector<uint8_t>& b, size_t at, const char* text) {
  std::memcpy(b.data() + at, text, std::strlen(text));
}

std::vector<uint8_t> Fat16Boot(uint16_t rootEntries) {
  auto b = Sector();
  PutLe16(b, 11, 512);
  b[13] = 4;
  PutLe16(b, 14, 1);
  PutLe16(b, 17, rootEntries);
  PutLe16(b, 19, 0);
  PutLe32(b, 32, 40000);
  PutLe16(b, 22, 40);
  PutLe32(b, 39, 0x1234ABCD);
  PutText(b, 54, "FAT16   ");
  return b;
}

TEST(Recognition, OrderDecidesBetweenSignatures) {
  auto b = Sector();
  PutText(b, 3, "NTFS    ");
  EXPECT_EQ(RecognizeBootSector(b), kNtfs);
  PutText(b, 82, "FAT32");
  EXPECT_EQ(RecognizeBootSector(b), kFat32);
  auto e = Sector();
  PutText(e, 3, "EXFAT   ");
  EXPECT_EQ(RecognizeBootSector(e), kExfat);
  EXPECT_EQ(RecognizeBootSector(Sector()), kFsNone);
  EXPECT_EQ(RecognizeBootSector(ByteView{}), kFsNone);
}

TEST(Recognition, PartitionTypes) {
  EXPECT_EQ(PartitionTypeToFsKind(0x11), kFat12);
  EXPECT_EQ(PartitionTypeToFsKind(0x1E), kFat16);
  EXPECT_EQ(PartitionTypeToFsKind(0x0C), kFat32);
  EXPECT_EQ(PartitionTypeToFsKind(0x87), kNtfs);
  EXPECT_EQ(PartitionTypeToFsKind(0x05), kFsNone);  // an extended container is no file system
  EXPECT_EQ(PartitionTypeToFsKind(0xEE), kFsNone);
}

TEST(FatGeometry, RootDirectorySectorsTruncate) {
  ScanState s;
  s.fsKind = kFat16;
  ParseBootGeometry(s, Fat16Boot(100), 0);
  EXPECT_EQ(s.rootDirSectors, 6u);  // 3200 bytes: 6.25 sectors, truncated
  EXPECT_EQ(s.rootDirSector, 81u);
  EXPECT_EQ(s.firstDataSector, 87u);
  EXPECT_EQ(s.totalSectors, 40000u);
  EXPECT_EQ(s.clusterBytes, 2048u);
  EXPECT_EQ(s.lastCluster, (40000u - 87u) / 4 + 1);
  EXPECT_EQ(s.dataAreaBytes, uint64_t{(40000u - 87u) / 4} * 2048);
  EXPECT_EQ(s.volumeSerial, 0x1234ABCDu);
  ParseBootGeometry(s, Fat16Boot(512), 0);
  EXPECT_EQ(s.rootDirSectors, 32u);
}

// A boot sector cut short gives 0 for every field from its end on, whatever
// the bytes after the view hold, and is counted; a whole one is not.
TEST(FatGeometry, ABootSectorCutShortReadsNothingPastItsEndAndIsCounted) {
  ScanState s;
  s.fsKind = kFat16;
  const auto b = Fat16Boot(512);
  EXPECT_FALSE(ParseBootGeometry(s, ByteView(b).first(36), 0));
  EXPECT_EQ(s.totalSectors, 40000u);  // the 32-bit count at 32 is the last field it holds
  EXPECT_EQ(s.volumeSerial, 0u);      // the serial at 39 lies past the view
  EXPECT_EQ(s.truncatedStructures, 1u);
  EXPECT_FALSE(ParseBootGeometry(s, ByteView(b).first(30), 0));
  EXPECT_EQ(s.totalSectors, 0u);
  EXPECT_EQ(s.truncatedStructures, 2u);
  EXPECT_TRUE(ParseBootGeometry(s, b, 0));
  EXPECT_EQ(s.volumeSerial, 0x1234ABCDu);
  EXPECT_EQ(s.truncatedStructures, 2u);
}

TEST(FatGeometry, ZeroSectorSizeKeepsTheSystemsValue) {
  ScanState s;
  s.fsKind = kFat16;
  s.bytesPerSector = 2048;
  auto b = Fat16Boot(512);
  PutLe16(b, 11, 0);
  ParseBootGeometry(s, b, 0);
  EXPECT_EQ(s.bytesPerSector, 2048);
  EXPECT_EQ(s.rootDirSectors, 8u);
}

TEST(FatGeometry, Fat32InAPartitionMarkedFat16) {
  ScanState s;
  s.fsKind = kFat16;
  auto b = Sector();
  PutLe16(b, 11, 512);
  b[13] = 8;
  PutLe16(b, 14, 32);
  PutLe32(b, 32, 1000000);
  PutLe32(b, 36, 1000);
  PutLe32(b, 44, 2);
  PutLe32(b, 67, 0xCAFEF00D);
  PutText(b, 82, "FAT32   ");
  ParseBootGeometry(s, b, 0);
  EXPECT_EQ(s.fsKind, kFat32);
  EXPECT_EQ(s.fatSectors, 1000u);
  EXPECT_EQ(s.rootCluster, 2u);
  EXPECT_EQ(s.firstDataSector, 2032u);
  EXPECT_EQ(s.volumeSerial, 0xCAFEF00Du);
  EXPECT_EQ(s.lastCluster, (1000000u - 2032u) / 8 + 1);
}

TEST(FatGeometry, DataAreaPastTheEndGivesNoClusters) {
  ScanState s;
  s.fsKind = kFat16;
  auto b = Fat16Boot(512);
  PutLe32(b, 32, 50);  // fewer sectors than the FATs and root take
  ParseBootGeometry(s, b, 0);
  EXPECT_EQ(s.lastCluster, 1u);
  EXPECT_EQ(s.dataAreaBytes, 0u);
}

TEST(ExfatGeometry, ShiftsAndCounts) {
  ScanState s;
  auto b = Sector();
  PutText(b, 3, "EXFAT   ");
  PutLe32(b, 80, 128);
  PutLe32(b, 84, 64);
  PutLe32(b, 88, 256);
  PutLe32(b, 92, 5000);
  PutLe32(b, 96, 4);
  b[108] = 9;
  b[109] = 16;  // 32 MiB clusters: 65536 sectors of 512 bytes
  ParseBootGeometry(s, b, 0);
  EXPECT_EQ(s.fsKind, kExfat);
  EXPECT_EQ(s.sectorsPerCluster, 65536u);
  EXPECT_EQ(s.clusterBytes, 32u << 20);
  EXPECT_EQ(s.lastCluster, 5001u);
  EXPECT_EQ(s.dataAreaBytes, 5000ull << 25);
  EXPECT_EQ(CheckGeometry(s), "");
  b[108] = 16;  // no sector of 64 KiB: refused, not wrapped into something plausible
  ParseBootGeometry(s, b, 0);
  EXPECT_NE(CheckGeometry(s), "");
  b[108] = 12;
  b[109] = 200;
  ParseBootGeometry(s, b, 0);
  EXPECT_NE(CheckGeometry(s), "");
}

// An NTFS volume in memory: boot sector, and at mftCluster a record of
// recordBytes with an update sequence array for its sectors.
std::vector<uint8_t> NtfsImage(uint8_t recordField, uint16_t bps, uint8_t spc, uint64_t mftCluster,
                               size_t recordBytes) {
  std::vector<uint8_t> img(mftCluster * bps * spc + 4 * recordBytes + bps * spc, 0);
  PutText(img, 3, "NTFS    ");
  PutLe16(img, 11, bps);
  img[13] = spc;
  PutLe32(img, 40, static_cast<uint32_t>(img.size() / bps));
  PutLe32(img, 48, static_cast<uint32_t>(mftCluster));
  img[64] = recordField;
  MutableBytes rec = MutableBytes(img).subspan(mftCluster * bps * spc, recordBytes);
  PutText(img, mftCluster * bps * spc, "FILE");
  const size_t sectors = recordBytes / bps;
  PutLe16(rec, 4, 48);
  PutLe16(rec, 6, static_cast<uint16_t>(sectors + 1));
  PutLe16(rec, 48, 0x0007);  // sequence number, also stamped at each sector's end
  for (size_t i = 1; i <= sectors; ++i) {
    PutLe16(rec, 48 + 2 * i, static_cast<uint16_t>(0xA000 + i));  // the saved bytes
    PutLe16(rec, i * bps - 2, 0x0007);
  }
  return img;
}

ScanState OpenNtfs(std::vector<uint8_t> img) {
  ScanState s;
  s.fsKind = kNtfs;
  std::copy_n(img.begin(), 512, s.ntfsBoot.begin());
  testing::AttachMemoryVolume(s, std::move(img));
  ReadNtfsGeometry(s);
  return s;
}

TEST(NtfsGeometry, RecordSizesAndFirstRecord) {
  ScanState s = OpenNtfs(NtfsImage(0xF6, 512, 8, 4, 1024));
  EXPECT_EQ(s.clusterBytes, 4096u);
  EXPECT_EQ(s.lastCluster, s.volumeHandle->Size() / 4096 - 1);
  EXPECT_EQ(s.dataAreaBytes, s.volumeHandle->Size());
  EXPECT_EQ(MftStartCluster(s), 4u);
  ASSERT_TRUE(ReadMftRecord0(s));
  EXPECT_EQ(s.mftRecordSize, 1024u);
  ASSERT_EQ(s.mftRecord0.size(), 1024u);
  EXPECT_EQ(Le16(s.mftRecord0, 510), 0xA001);
  EXPECT_EQ(Le16(s.mftRecord0, 1022), 0xA002);

  ScanState two = OpenNtfs(NtfsImage(2, 512, 8, 2, 8192));
  ASSERT_TRUE(ReadMftRecord0(two));
  EXPECT_EQ(two.mftRecordSize, 8192u);  // two clusters of 4096
  EXPECT_EQ(Le16(two.mftRecord0, 8190), 0xA010);
}

TEST(NtfsGeometry, AbsurdRecordSizesAreRefused) {
  ScanState s = OpenNtfs(NtfsImage(0x81, 512, 8, 4, 1024));  // 2^31 bytes
  EXPECT_FALSE(ReadMftRecord0(s));
  EXPECT_TRUE(s.mftRecord0.empty());
  ScanState z = OpenNtfs(NtfsImage(0, 512, 8, 4, 1024));
  EXPECT_FALSE(ReadMftRecord0(z));
  ScanState noCluster = OpenNtfs(NtfsImage(0xF6, 512, 0, 0, 1024));
  EXPECT_NE(CheckGeometry(noCluster), "");
}

TEST(Fixups, RestoreSectorEndsAndRefuseArraysThatDoNotFit) {
  std::vector<uint8_t> rec(1024, 0);
  PutLe16(rec, 4, 48);
  PutLe16(rec, 6, 3);
  PutLe16(rec, 50, 0x1111);
  PutLe16(rec, 52, 0x2222);
  ApplyFixups(rec);
  EXPECT_EQ(Le16(rec, 510), 0x1111);
  EXPECT_EQ(Le16(rec, 1022), 0x2222);

  // A 4096-byte record (a volume of 4096-byte sectors, as mkntfs -s 4096
  // makes it) still has an entry for every 512 bytes.
  std::vector<uint8_t> big(4096, 0);
  PutLe16(big, 4, 48);
  PutLe16(big, 6, 9);
  for (uint16_t i = 1; i < 9; ++i) PutLe16(big, 48 + 2 * i, static_cast<uint16_t>(0x1000 + i));
  EXPECT_TRUE(ApplyFixups(big));
  for (uint16_t i = 1; i < 9; ++i) EXPECT_EQ(Le16(big, i * 512 - 2), 0x1000 + i);

  auto untouched = [](uint16_t arrayOffset, uint16_t count, size_t size) {
    std::vector<uint8_t> r(size);
    for (size_t i = 0; i < size; ++i) r[i] = static_cast<uint8_t>(i * 7);
    PutLe16(r, 4, arrayOffset);
    PutLe16(r, 6, count);
    auto before = r;
    ApplyFixups(r);
    return r == before;
  };
  EXPECT_TRUE(untouched(48, 1, 1024));     // a count of 1 means nothing to fix
  EXPECT_TRUE(untouched(1024, 3, 1024));   // array past the record
  EXPECT_TRUE(untouched(48, 4, 1024));     // more blocks than the record holds
  EXPECT_TRUE(untouched(1020, 3, 1024));   // array running off the end
  EXPECT_FALSE(untouched(48, 3, 1024));
}

}  // namespace
}  // namespace vellum::volume

namespace vellum::volume {
namespace {

// Up to 0x80 the byte is the count; above it a negative power of two, as
// Windows writes for clusters of 128 KiB to 2 MiB.
TEST(NtfsClusterSize, LargeClustersAreStoredAsPowersOfTwo) {
  EXPECT_EQ(NtfsSectorsPerCluster(8), 8u);
  EXPECT_EQ(NtfsSectorsPerCluster(0x80), 128u);
  EXPECT_EQ(NtfsSectorsPerCluster(0xF8), 256u);   // 128 KiB with 512-byte sectors
  EXPECT_EQ(NtfsSectorsPerCluster(0xF4), 4096u);  // 2 MiB
  EXPECT_EQ(NtfsSectorsPerCluster(0x81), 0u);     // 2^127: no such volume
}

}  // namespace
}  // namespace vellum::volume
