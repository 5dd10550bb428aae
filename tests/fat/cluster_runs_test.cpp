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

ScanState Exfat(uint64_t lastCluster, std::initializer_list<uint64_t> used) {
  ScanState s = Fat32(lastCluster);
  s.fsKind = volume::kExfat;
  s.exfatBitmap.assign((lastCluster + 8) / 8, 0);
  for (uint64_t c : used) s.exfatBitmap[(c - 2) / 8] |= static_cast<uint8_t>(1u << ((c - 2) % 8));
  return s;
}

using Source = DeletedExfatRun::Source;
using Steps = std::vector<std::pair<uint64_t, Source>>;

Steps DrainSteps(DeletedExfatRun& run, size_t limit) {
  Steps out;
  for (DeletedExfatRun::Step step; out.size() < limit && run.Next(step);) out.emplace_back(step.cluster, step.source);
  return out;
}

// The deletion cleared the chain and a live file sits after the first
// clusters: the run goes round it, as the driver did when it wrote the file,
// and says from where on it is a guess. A chain still in the FAT is followed
// while it stays on free clusters; a link into a cluster in use, or back
// into the chain, is where the guess begins.
TEST(DeletedExfatRuns, ALostChainIsPredictedFromTheFreeClusters) {
  ScanState s = Exfat(12, {6, 7, 11});
  Link(s, 4, 5);
  DeletedExfatRun lost(s, 4, 1);
  EXPECT_EQ(DrainSteps(lost, 6), (Steps{{4, Source::kRecorded},
                                       {5, Source::kRecorded},
                                       {8, Source::kPredicted},
                                       {9, Source::kPredicted},
                                       {10, Source::kPredicted},
                                       {12, Source::kPredicted}}));
  // One wrap to cluster 2, and no further.
  DeletedExfatRun wraps(s, 10, 1);
  EXPECT_EQ(DrainSteps(wraps, 20).size(), 10u);  // 10 12, then 2 3 4 5 8 9 10 12

  Link(s, 5, 6);  // into the live file
  DeletedExfatRun intoLive(s, 4, 1);
  EXPECT_EQ(DrainSteps(intoLive, 3), (Steps{{4, Source::kRecorded}, {5, Source::kRecorded}, {8, Source::kPredicted}}));
  Link(s, 5, 4);  // back into itself
  DeletedExfatRun loop(s, 4, 1);
  EXPECT_EQ(DrainSteps(loop, 3), (Steps{{4, Source::kRecorded}, {5, Source::kRecorded}, {8, Source::kPredicted}}));
}

// A contiguous run keeps its places: clusters in use inside it are named,
// and it ends with the volume.
TEST(DeletedExfatRuns, AContiguousRunNamesTheClustersInUse) {
  ScanState s = Exfat(9, {6, 7});
  DeletedExfatRun run(s, 5, 3);
  EXPECT_EQ(DrainSteps(run, 10), (Steps{{5, Source::kRecorded},
                                       {6, Source::kInUse},
                                       {7, Source::kInUse},
                                       {8, Source::kRecorded},
                                       {9, Source::kRecorded}}));
  // The first cluster in use: the whole chain is someone else's.
  DeletedExfatRun reused(s, 6, 1);
  EXPECT_EQ(DrainSteps(reused, 2), (Steps{{6, Source::kInUse}, {8, Source::kPredicted}}));
  DeletedExfatRun outside(s, 10, 3);
  EXPECT_TRUE(DrainSteps(outside, 2).empty());
}

}  // namespace
}  // namespace vellum::fat
