#include "fat/fat_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/memory_volume.h"
#include "volume/le.h"
#include "volume/sector_io.h"

namespace vellum::fat {
namespace {

using volume::IsExfatClusterUsed;
using volume::kExfat;

TEST(ExfatBitmap, ThreeClustersFollowTheFatInOrder) {
  constexpr uint32_t kBps = 512;
  constexpr uint32_t kHeap = 8;
  std::vector<uint8_t> img((kHeap + 12) * kBps, 0);
  auto clusterAt = [&](uint32_t c) { return MutableBytes(img).subspan((kHeap + c - 2) * kBps, kBps); };
  // Root directory in cluster 4: a label entry, then the bitmap entry.
  clusterAt(4)[0] = 0x83;
  clusterAt(4)[32] = 0x81;
  PutLe32(clusterAt(4), 32 + 20, 5);
  PutLe32(clusterAt(4), 32 + 24, 1100);  // two whole clusters and 76 bytes
  std::fill_n(clusterAt(5).begin(), kBps, 0x05);
  std::fill_n(clusterAt(9).begin(), kBps, 0x09);
  std::fill_n(clusterAt(7).begin(), kBps, 0x07);

  ScanState s;
  s.fsKind = kExfat;
  s.sectorsPerCluster = 1;
  s.clusterBytes = kBps;
  s.firstDataSector = kHeap;
  s.lastCluster = 11;
  s.fat.assign(12 * 4, 0);
  PutLe32(s.fat, 5 * 4, 9);
  PutLe32(s.fat, 9 * 4, 7);
  PutLe32(s.fat, 7 * 4, 0xFFFFFFFF);
  testing::AttachMemoryVolume(s, img);
  ASSERT_TRUE(LoadExfatBitmap(s, 4));
  // The length is capped to one bit per cluster: 10 clusters need 2 bytes.
  EXPECT_EQ(s.exfatBitmap.size(), 2u);

  s.lastCluster = 100000;
  s.fat.resize(100001 * 4);
  ASSERT_TRUE(LoadExfatBitmap(s, 4));
  ASSERT_EQ(s.exfatBitmap.size(), 1100u);
  EXPECT_EQ(s.exfatBitmap[0], 0x05);
  EXPECT_EQ(s.exfatBitmap[511], 0x05);
  EXPECT_EQ(s.exfatBitmap[512], 0x09);
  EXPECT_EQ(s.exfatBitmap[1024], 0x07);
  EXPECT_EQ(s.exfatBitmap[1099], 0x07);
}

TEST(ExfatBitmap, NoBitmapEntryGivesAnEmptyBitmap) {
  ScanState s;
  s.fsKind = kExfat;
  s.sectorsPerCluster = 1;
  s.clusterBytes = 512;
  s.firstDataSector = 1;
  s.lastCluster = 5;
  testing::AttachMemoryVolume(s, std::vector<uint8_t>(4096, 0));
  EXPECT_TRUE(LoadExfatBitmap(s, 2));
  EXPECT_TRUE(s.exfatBitmap.empty());
  EXPECT_TRUE(IsExfatClusterUsed(s, 3));
}

}  // namespace
}  // namespace vellum::fat
