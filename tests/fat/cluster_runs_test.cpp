#include "fat/cluster_runs.h"

#include <gtest/gtest.h>

#include "volume/sector_io.h"

namespace vellum::fat {
namespace {

using vellum::PutLe32;

ScanState Fat32(uint64_t lastCluster) {
  ScanState s;
  s.fsKind = volume::kFat32;
  s.clusterBytes = 512;
  s.lastCluster = lastCluster;
  s.fat.assign((lastCluster + 1) * 4, 0);
  PutLe32(s.fat, 0, 0x0FFFFFF8);
  PutLe32(s.fat, 4, 0x0FFFFFFF);
  s.fatWork = s.fat;
  return s;
}

void Link(ScanState& s, uint64_t from, uint32_t to) {
  PutLe32(s.fat, from * 4, to);
  PutLe32(s.fatWork, from * 4, to);
}

template <typename Run>
std::vector<uint64_t> Drain(Run& run) {
  std::vector<uint64_t> out;
  for (uint64_t c; out.size() < 1000 && run.Next(c);) out.push_back(c);
  return out;
}

TEST(FirstCluster, HighWordCountsOnEveryFatKind) {
  std::vector<uint8_t> entry(32, 0);
  entry[26] = 0x34;
  entry[27] = 0x12;
  EXPECT_EQ(FatEntryFirstCluster(entry), 0x1234u);
  entry[20] = 0x01;
  EXPECT_EQ(FatEntryFirstCluster(entry), 0x11234u);
}

TEST(Claims, ADeletedDirectoryIsEnteredOnceAndNeverWhenInUse) {
  ScanState s = Fat32(20);
  Link(s, 5, 0x0FFFFFFF);
  EXPECT_FALSE(ClaimDeletedDirectory(s, 5));  // in use on disk
  EXPECT_TRUE(ClaimDeletedDirectory(s, 7));
  EXPECT_FALSE(ClaimDeletedDirectory(s, 7));  // a second entry pointing at it
  EXPECT_TRUE(IsClaimed(s, 7));
  EXPECT_FALSE(IsFatEntryInUse(s, 7));  // the disk's table is untouched

  ScanState x = Fat32(20);
  x.fsKind = volume::kExfat;
  Claim(x, 7);  // exFAT never claims
  EXPECT_FALSE(IsClaimed(x, 7));
}

TEST(LiveChainWalk, FollowsWorkingCopyAndEndsOnAnyEndMark) {
  ScanState s = Fat32(20);
  Link(s, 3, 9);
  Link(s, 9, 4);
  Link(s, 4, 0x0FFFFFFF);
  LiveChain chain(s, 3);
  EXPECT_EQ(Drain(chain), (std::vector<uint64_t>{3, 9, 4}));

  Link(s, 4, 0x0FFFFFFA);  // between the end marks, above lastCluster
  LiveChain above(s, 3);
  EXPECT_EQ(Drain(above), (std::vector<uint64_t>{3, 9, 4}));

  Link(s, 4, 0);  // a free link ends the chain
  LiveChain freeLink(s, 3);
  EXPECT_EQ(Drain(freeLink), (std::vector<uint64_t>{3, 9, 4}));

  Link(s, 4, 9);  // a loop ends where it closes
  LiveChain loop(s, 3);
  EXPECT_EQ(Drain(loop), (std::vector<uint64_t>{3, 9, 4}));

  LiveChain outside(s, 21);
  EXPECT_TRUE(Drain(outside).empty());
}

TEST(DeletedRun, FreeOnlyWhenTheFirstClusterIsFreeWithOneWrap) {
  ScanState s = Fat32(10);
  Link(s, 5, 0x0FFFFFFF);  // used by another file
  Link(s, 8, 0x0FFFFFFF);
  Link(s, 10, 0x0FFFFFFF);
  DeletedFileRun run(s, 7, 4 * 512);
  EXPECT_EQ(Drain(run), (std::vector<uint64_t>{7, 9, 2, 3}));

  // More than the free space: after the one wrap the run comes round to its
  // start again and ends at the second overrun.
  DeletedFileRun tooLong(s, 9, 9 * 512);
  EXPECT_EQ(Drain(tooLong), (std::vector<uint64_t>{9, 2, 3, 4, 6, 7, 9}));
}

TEST(DeletedRun, ConsecutiveWhenTheFirstClusterWasReused) {
  ScanState s = Fat32(10);
  Link(s, 8, 0x0FFFFFFF);
  DeletedFileRun run(s, 8, 4 * 512 - 1);
  EXPECT_EQ(Drain(run), (std::vector<uint64_t>{8, 9, 10, 2}));
  DeletedFileRun empty(s, 8, 0);
  EXPECT_TRUE(Drain(empty).empty());
}

TEST(ExfatRuns, FlagByteChoosesFatOrContiguous) {
  ScanState s = Fat32(12);
  s.fsKind = volume::kExfat;
  Link(s, 4, 8);
  Link(s, 8, 6);
  Link(s, 6, 0xFFFFFFFF);
  ExfatRun fatDir(s, 4, 1, ExfatRun::Kind::Directory);
  EXPECT_EQ(Drain(fatDir), (std::vector<uint64_t>{4, 8, 6}));
  // File data falls back to the next cluster where the FAT has no link.
  ExfatRun fatFile(s, 4, 1, ExfatRun::Kind::FileData);
  std::vector<uint64_t> data;
  for (uint64_t c; data.size() < 5 && fatFile.Next(c);) data.push_back(c);
  EXPECT_EQ(data, (std::vector<uint64_t>{4, 8, 6, 7, 8}));
  // NoFatChain set (3) or any other flag value: contiguous to the end of the volume.
  ExfatRun contiguous(s, 10, 3, ExfatRun::Kind::Directory);
  EXPECT_EQ(Drain(contiguous), (std::vector<uint64_t>{10, 11, 12}));

  Link(s, 6, 4);  // a looping directory chain ends where it closes
  ExfatRun loop(s, 4, 1, ExfatRun::Kind::Directory);
  EXPECT_EQ(Drain(loop), (std::vector<uint64_t>{4, 8, 6}));
}

}  // namespace
}  // namespace vellum::fat
