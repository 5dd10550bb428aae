// The FAT and exFAT walks and cluster scans over a disk that fails reads.
// A failed read leaves zeros, which end a directory as its last entry does:
// what lies behind the bad sectors is lost, everything else is still found,
// and nothing is made up from the failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "content/analyse_cluster.h"
#include "fat/cluster_scan.h"
#include "fat/fat_walk.h"
#include "support/faulty_device.h"
#include "support/open_image.h"
#include "support/recording_rows.h"
#include "support/scripted_messages.h"
#include "volume/listing.h"
#include "volume/sector_io.h"

namespace vellum::fat {
namespace {

using testing::FaultyDevice;
using testing::RecordedRow;

std::string ImagePath(const std::string& name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name + ".img"; }

// A row as the comparisons see it: its name, folder and cluster.
using RowKey = std::tuple<std::string, std::string, std::string>;
RowKey KeyOf(const RecordedRow& r) { return {r.name, r.Cell(1), r.Cell(5)}; }

std::vector<RowKey> Keys(const std::vector<RecordedRow>& rows) {
  std::vector<RowKey> keys;
  for (const RecordedRow& r : rows) keys.push_back(KeyOf(r));
  return keys;
}

struct Opened {
  volume::ScanState state;
  testing::RecordingRows rows;
  FaultyDevice* device = nullptr;

  explicit Opened(const std::string& image) {
    const std::string error = testing::OpenImage(ImagePath(image), state, [&](auto base) {
      auto faulty = std::make_unique<FaultyDevice>(std::move(base));
      device = faulty.get();
      return faulty;
    });
    EXPECT_EQ(error, "");
    state.rows = &rows;
    state.options.inUse = true;
    state.options.zeroSize = true;
  }
  // The device sectors of one cluster.
  std::pair<uint64_t, uint64_t> ClusterSectors(uint64_t cluster) const {
    const uint64_t perDevice = device->SectorSize();
    const uint64_t first = volume::ClusterToSector(state, cluster) * state.bytesPerSector / perDevice;
    return {first, std::max<uint64_t>(state.clusterBytes / perDevice, 1)};
  }
};

class FaultyWalk : public ::testing::TestWithParam<std::string> {};

// A deleted folder whose first cluster cannot be read: its own row stays,
// the rows inside it go, and every other row comes out as before, in order.
TEST_P(FaultyWalk, AnUnreadableFolderLosesOnlyWhatItHolds) {
  Opened healthy(GetParam());
  ASSERT_TRUE(WalkFatExfat(healthy.state));
  EXPECT_EQ(healthy.state.failedReads, 0u);
  const std::vector<RecordedRow>& all = healthy.rows.rows;
  auto folder = std::find_if(all.begin(), all.end(), [&](const RecordedRow& r) {
    if ((r.dataWord & volume::kRowFolder) == 0) return false;
    const std::string path = r.Cell(1) + (r.Cell(1).ends_with('/') ? "" : "/") + r.name;
    return std::any_of(all.begin(), all.end(), [&](const RecordedRow& o) { return o.Cell(1) == path; });
  });
  ASSERT_NE(folder, all.end()) << "no deleted folder with contents";
  const std::string lost = folder->Cell(1) + (folder->Cell(1).ends_with('/') ? "" : "/") + folder->name;
  std::vector<RowKey> expected;
  for (const RecordedRow& r : all)
    if (r.Cell(1) != lost && !r.Cell(1).starts_with(lost + "/")) expected.push_back(KeyOf(r));
  ASSERT_LT(expected.size(), all.size());

  for (FaultyDevice::Fault fault : {FaultyDevice::Fault::Error, FaultyDevice::Fault::Short}) {
    Opened faulty(GetParam());
    const auto [first, count] = faulty.ClusterSectors(std::stoull(folder->Cell(5)));
    faulty.device->FailReads(first, count, fault);
    ASSERT_TRUE(WalkFatExfat(faulty.state));
    EXPECT_EQ(Keys(faulty.rows.rows), expected) << lost;
    EXPECT_GT(faulty.device->failedReads, 0u);
    // The search counts what it had to take as zeros, to say so at its end.
    EXPECT_GT(faulty.state.failedReads, 0u);
  }
}

// Reads failing anywhere, one in five: the walk finishes and lists nothing
// the healthy disk does not hold.
TEST_P(FaultyWalk, RandomFailuresNeverInventRows) {
  Opened healthy(GetParam());
  ASSERT_TRUE(WalkFatExfat(healthy.state));
  const std::vector<RowKey> all = Keys(healthy.rows.rows);
  const std::set<RowKey> known(all.begin(), all.end());
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    Opened faulty(GetParam());
    faulty.device->FailReadsAtRandom(seed, 200);
    ASSERT_TRUE(WalkFatExfat(faulty.state));
    for (const RowKey& key : Keys(faulty.rows.rows)) EXPECT_TRUE(known.count(key)) << std::get<0>(key);
  }
}

INSTANTIATE_TEST_SUITE_P(Images, FaultyWalk,
                         ::testing::Values("fat12", "fat16", "fat32-512", "fat32-4k", "exfat", "exfat-sets"),
                         [](const auto& info) {
                           std::string n = info.param;
                           std::replace(n.begin(), n.end(), '-', '_');
                           return n;
                         });

class Range : public ClusterRangeAsker {
 public:
  Range(uint64_t first, uint64_t last) : first_(first), last_(last) {}
  bool RunClusterRangeDialog(uint64_t& first, uint64_t& last) override {
    first = std::max(first, first_);
    last = std::min(last, last_);
    return true;
  }

 private:
  uint64_t first_, last_;
};

std::vector<RowKey> Scan(Opened& v, bool all, uint64_t first, uint64_t last) {
  v.state.clusterScan = 1;
  v.state.allClusters = all ? 1 : 0;
  v.state.options.analyse = true;
  Range range(first, last);
  if (v.state.fsKind == volume::kExfat)
    EXPECT_EQ(ScanExfatClusters(v.state, all, range, content::AnalyseClusterContents), 1);
  else
    EXPECT_EQ(ScanFatClusters(v.state, range, content::AnalyseClusterContents), 1);
  return Keys(v.rows.rows);
}

class FaultyScan : public ::testing::TestWithParam<std::tuple<std::string, bool>> {};

// A run of unreadable clusters in the middle of the scanned range: whatever
// the clusters before and after it give on a healthy disk is still listed,
// and nothing is listed that a healthy scan does not list.
TEST_P(FaultyScan, RowsBeforeAndAfterTheBadClustersStay) {
  const auto& [image, all] = GetParam();
  // The bad run starts just after the first cluster of a deleted file in
  // the middle of the volume, if there is one, so the scan meets files on
  // both sides of it.
  Opened probe(image);
  ASSERT_TRUE(WalkFatExfat(probe.state));
  std::vector<uint64_t> starts;
  for (const RecordedRow& r : probe.rows.rows)
    if (!r.Cell(5).empty() && std::stoull(r.Cell(5)) >= 2) starts.push_back(std::stoull(r.Cell(5)));
  std::sort(starts.begin(), starts.end());
  const uint64_t last = probe.state.lastCluster;
  const uint64_t middle = starts.empty() ? last / 3 : starts[starts.size() / 2];
  const uint64_t badFirst = std::min(middle + 8, last - 41), badLast = badFirst + 40;
  const uint64_t first = 2, end = last;

  Opened whole(image), before(image), after(image);
  const std::vector<RowKey> everything = Scan(whole, all, first, end);
  const std::set<RowKey> known(everything.begin(), everything.end());
  std::vector<RowKey> kept = Scan(before, all, first, badFirst - 1);
  const std::vector<RowKey> behind = Scan(after, all, badLast + 1, end);
  kept.insert(kept.end(), behind.begin(), behind.end());
  ASSERT_FALSE(kept.empty());

  for (FaultyDevice::Fault fault : {FaultyDevice::Fault::Error, FaultyDevice::Fault::Short}) {
    Opened faulty(image);
    const uint64_t badSector = faulty.ClusterSectors(badFirst).first;
    const uint64_t badEnd = faulty.ClusterSectors(badLast + 1).first;
    faulty.device->FailReads(badSector, badEnd - badSector, fault);
    const std::vector<RowKey> found = Scan(faulty, all, first, end);
    const std::set<RowKey> foundSet(found.begin(), found.end());
    for (const RowKey& key : kept) EXPECT_TRUE(foundSet.count(key)) << std::get<0>(key) << " " << std::get<2>(key);
    for (const RowKey& key : found) EXPECT_TRUE(known.count(key)) << std::get<0>(key) << " " << std::get<2>(key);
    if (all) {
      EXPECT_GT(faulty.device->failedReads, 0u);
      EXPECT_GT(faulty.state.failedReads, 0u);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Images, FaultyScan,
                         ::testing::Combine(::testing::Values("fat12", "fat16", "exfat", "exfat-sets"),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           std::string n = std::get<0>(info.param) + (std::get<1>(info.param) ? "_full" : "_free");
                           std::replace(n.begin(), n.end(), '-', '_');
                           return n;
                         });

// Restore and complete deletion over a disk that fails reads and writes at
// random: they finish. (What the summary must say about the failures belongs
// to the restore's outcome record.)
TEST(FaultyRestoreAndWipe, FinishOverFailingReadsAndWrites) {
  for (const char* image : {"fat12", "fat16", "exfat-sets"}) {
    for (uint32_t seed = 1; seed <= 3; ++seed) {
      Opened r(image);
      r.device->FailReadsAtRandom(seed, 300);
      char pattern[] = "/tmp/vellum-faulty-XXXXXX";
      ASSERT_NE(::mkdtemp(pattern), nullptr);
      testing::ScriptedMessages messages;
      restore::Outcomes tally;
      restore::RestoreTarget target{pattern, &messages, &tally};
      r.state.operationMode = volume::kModeRestore;
      EXPECT_TRUE(WalkFatExfat(r.state, &target)) << image;
      std::filesystem::remove_all(pattern);

      volume::ScanState w;
      FaultyDevice* device = nullptr;
      ASSERT_EQ(testing::OpenImage(ImagePath(image), w,
                                   [&](auto base) {
                                     auto bytes = std::vector<uint8_t>(base->Size());
                                     base->Read(0, bytes);
                                     auto faulty = std::make_unique<FaultyDevice>(
                                         std::make_unique<platform::MemoryBlockDevice>(std::move(bytes), true));
                                     device = faulty.get();
                                     return faulty;
                                   }),
                "");
      device->FailReadsAtRandom(seed, 100);
      device->FailWrites(0, device->Size() / device->SectorSize() / 2);
      w.operationMode = volume::kModeCompleteDeletion;
      EXPECT_TRUE(WalkFatExfat(w)) << image;
      EXPECT_GT(device->failedWrites, 0u) << image;
    }
  }
}

}  // namespace
}  // namespace vellum::fat
