#include "volume/sector_io.h"

#include <gtest/gtest.h>

#include "support/memory_volume.h"

namespace vellum::volume {
namespace {

ScanState FatState(uint8_t kind, size_t tableBytes, uint64_t lastCluster) {
  ScanState s;
  s.fsKind = kind;
  s.fat.assign(tableBytes, 0);
  s.fatWork = s.fat;
  s.lastCluster = lastCluster;
  return s;
}

TEST(FatEntries, Fat12NeighboursShareAByteAndKeepEachOthersNibble) {
  ScanState s = FatState(kFat12, 12, 7);
  WriteFatEntry(s, 2, 0xABC);
  WriteFatEntry(s, 3, 0x123);
  EXPECT_EQ(ReadFatEntry(s, s.fatWork, 2), 0xABC);
  EXPECT_EQ(ReadFatEntry(s, s.fatWork, 3), 0x123);
  // Byte 4 holds cluster 2's top nibble and cluster 3's bottom nibble.
  EXPECT_EQ(s.fatWork[3], 0xBC);
  EXPECT_EQ(s.fatWork[4], 0x3A);
  EXPECT_EQ(s.fatWork[5], 0x12);
  WriteFatEntry(s, 2, 0);
  EXPECT_EQ(ReadFatEntry(s, s.fatWork, 3), 0x123);
  // Only fatWork is ever written; fat stands for the disk.
  EXPECT_EQ(ReadFatEntry(s, s.fat, 3), 0);
}

TEST(FatEntries, SpecialValuesMapPerWidth) {
  ScanState s12 = FatState(kFat12, 6, 3);
  WriteFatEntry(s12, 2, 0xFF7);
  WriteFatEntry(s12, 3, -1);
  EXPECT_EQ(ReadFatEntry(s12, s12.fatWork, 2), kFatBad);
  EXPECT_EQ(ReadFatEntry(s12, s12.fatWork, 3), kFatEndOfChain);

  ScanState s16 = FatState(kFat16, 16, 7);
  WriteFatEntry(s16, 2, 0xFFF7);
  WriteFatEntry(s16, 3, 0xFFF8);  // end-of-chain range but not 0xFFFF: returned as stored
  WriteFatEntry(s16, 4, -1);
  EXPECT_EQ(ReadFatEntry(s16, s16.fatWork, 2), kFatBad);
  EXPECT_EQ(ReadFatEntry(s16, s16.fatWork, 3), 0xFFF8);
  EXPECT_EQ(ReadFatEntry(s16, s16.fatWork, 4), kFatEndOfChain);
  EXPECT_EQ(s16.fatWork[8], 0xFF);
  EXPECT_EQ(s16.fatWork[9], 0xFF);
}

TEST(FatEntries, Fat32EndMarksAndUnmaskedHighBits) {
  ScanState s = FatState(kFat32, 64, 9);
  PutLe32(s.fat, 2 * 4, 0x0FFFFFF8);
  PutLe32(s.fat, 3 * 4, 0x0FFFFFFF);
  PutLe32(s.fat, 4 * 4, 0x0FFFFFF7);
  PutLe32(s.fat, 5 * 4, 0x0FFFFFFA);
  PutLe32(s.fat, 6 * 4, 0x10000007);  // upper 4 bits are not masked off
  EXPECT_EQ(ReadFatEntry(s, s.fat, 2), kFatEndOfChain);
  EXPECT_EQ(ReadFatEntry(s, s.fat, 3), kFatEndOfChain);
  EXPECT_EQ(ReadFatEntry(s, s.fat, 4), kFatBad);
  EXPECT_EQ(ReadFatEntry(s, s.fat, 5), 0x0FFFFFFA);
  EXPECT_GT(static_cast<uint64_t>(ReadFatEntry(s, s.fat, 5)), s.lastCluster);
  EXPECT_EQ(ReadFatEntry(s, s.fat, 6), 0x10000007);
  // The end mark we write fills all 32 bits.
  WriteFatEntry(s, 7, kFatEndOfChain);
  EXPECT_EQ(Le32(s.fatWork, 7 * 4), 0xFFFFFFFFu);
}

TEST(FatEntries, NoClusterAndClustersPastTheTableReadAsEndOfChain) {
  ScanState empty = FatState(kFat32, 0, 100);
  EXPECT_EQ(ReadFatEntry(empty, empty.fat, kNoCluster), kFatEndOfChain);
  ScanState s = FatState(kFat16, 8, 100);
  EXPECT_EQ(ReadFatEntry(s, s.fat, 3), 0);
  EXPECT_EQ(ReadFatEntry(s, s.fat, 4), kFatEndOfChain);
  EXPECT_EQ(ReadFatEntry(s, s.fat, UINT64_MAX - 1), kFatEndOfChain);
  WriteFatEntry(s, 1000, 5);  // ignored, no write outside the table
  ScanState s12 = FatState(kFat12, 5, 100);  // holds clusters 0 to 2 and half of 3
  EXPECT_EQ(ReadFatEntry(s12, s12.fat, 2), 0);
  EXPECT_EQ(ReadFatEntry(s12, s12.fat, 3), kFatEndOfChain);
  ScanState ntfs = FatState(kNtfs, 64, 100);
  EXPECT_EQ(ReadFatEntry(ntfs, ntfs.fat, 2), kFatEndOfChain);
}

TEST(SectorTransfers, SectorsAbove4GiUse64BitOffsets) {
  ScanState s;
  auto device = std::make_unique<testing::RecordingDevice>();
  auto* recorder = device.get();
  s.volumeHandle = std::move(device);
  s.bytesPerSector = 4096;
  std::vector<uint8_t> buffer(8192);
  const uint64_t sector = (uint64_t{1} << 32) + 3;
  ASSERT_TRUE(ReadSectors(s, sector, 2, buffer));
  EXPECT_EQ(recorder->lastOffset, sector * 4096);
  EXPECT_EQ(recorder->lastLength, 8192u);
  // A buffer too small for the count, and an offset that would overflow, are refused.
  EXPECT_FALSE(ReadSectors(s, 0, 3, buffer));
  EXPECT_FALSE(ReadSectors(s, UINT64_MAX / 2, 1, buffer));
}

TEST(SectorTransfers, ReadPastTheEndFailsAndZeroFills) {
  ScanState s;
  testing::AttachMemoryVolume(s, std::vector<uint8_t>(1024, 0xEE));
  std::vector<uint8_t> buffer(1024, 0x11);
  EXPECT_FALSE(ReadSectors(s, 1, 2, buffer));
  EXPECT_EQ(buffer[0], 0xEE);
  EXPECT_EQ(buffer[600], 0);
  EXPECT_FALSE(WriteSectors(s, 0, 1, buffer));  // read-only unless asked for writing
}

TEST(ClusterArithmetic, HeapOnFatVolumeStartOnNtfs) {
  ScanState s;
  s.fsKind = kFat16;
  s.firstDataSector = 100;
  s.sectorsPerCluster = 4;
  EXPECT_EQ(ClusterToSector(s, 2), 100u);
  EXPECT_EQ(ClusterToSector(s, 5), 112u);
  s.fsKind = kNtfs;
  s.sectorsPerCluster = 8;
  EXPECT_EQ(ClusterToSector(s, 0x100000000ull), 0x800000000ull);
}

TEST(Bitmaps, NumberingAndOutOfRange) {
  ScanState s;
  s.exfatBitmap = {0b00000101, 0x80};
  EXPECT_TRUE(IsExfatClusterUsed(s, 2));  // exFAT counts from cluster 2
  EXPECT_FALSE(IsExfatClusterUsed(s, 3));
  EXPECT_TRUE(IsExfatClusterUsed(s, 4));
  EXPECT_TRUE(IsExfatClusterUsed(s, 17));
  EXPECT_FALSE(IsExfatClusterUsed(s, 16));
  EXPECT_TRUE(IsExfatClusterUsed(s, 18));  // past the bitmap: never taken for free
  EXPECT_TRUE(IsExfatClusterUsed(s, 1));
  s.clusterBitmap = {0b00000010};
  EXPECT_FALSE(IsNtfsClusterUsed(s, 0));  // NTFS counts from cluster 0
  EXPECT_TRUE(IsNtfsClusterUsed(s, 1));
  EXPECT_TRUE(IsNtfsClusterUsed(s, 8));
  EXPECT_TRUE(IsNtfsClusterUsed(s, UINT64_MAX));
}

TEST(NextCandidate, StopsAtTheEndOfTheVolume) {
  ScanState s = FatState(kFat32, 4 * 10, 9);
  uint64_t c = 8;
  EXPECT_TRUE(NextCandidateCluster(s, c, false));
  EXPECT_EQ(c, 9u);
  EXPECT_FALSE(NextCandidateCluster(s, c, false));
  EXPECT_EQ(c, 0u);
  c = UINT64_MAX;
  EXPECT_FALSE(NextCandidateCluster(s, c, false));
  EXPECT_EQ(c, 0u);
}

TEST(NextCandidate, FreeOnlySkipsUsedClustersAndEndsWithTheTable) {
  ScanState s = FatState(kExfat, 4 * 8, 1000000);
  PutLe32(s.fat, 3 * 4, 0x0FFFFFFF);
  PutLe32(s.fat, 4 * 4, 5);
  s.exfatBitmap = {0xFF};  // exFAT asks the FAT here, not the bitmap
  uint64_t c = 2;
  EXPECT_TRUE(NextCandidateCluster(s, c, true));
  EXPECT_EQ(c, 5u);
  c = 7;
  EXPECT_FALSE(NextCandidateCluster(s, c, true));  // clusters past the table are never free
  EXPECT_EQ(c, 0u);

  ScanState n;
  n.fsKind = kNtfs;
  n.lastCluster = 15;
  n.clusterBitmap = {0xFF, 0b11011111};
  c = 0;
  EXPECT_TRUE(NextCandidateCluster(n, c, true));
  EXPECT_EQ(c, 13u);
  EXPECT_FALSE(NextCandidateCluster(n, c, true));
}

}  // namespace
}  // namespace vellum::volume
