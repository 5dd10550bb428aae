#include "fat/cluster_scan.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/open_image.h"
#include "fat/fat_walk.h"
#include "support/recording_rows.h"

namespace vellum::fat {
namespace {

using testing::RecordedRow;

class FixedRange : public ClusterRangeAsker {
 public:
  FixedRange(bool ok, uint64_t first = 0, uint64_t last = 0) : ok_(ok), first_(first), last_(last) {}
  bool RunClusterRangeDialog(uint64_t& start, uint64_t& end) override {
    proposed = {start, end};
    if (!ok_) return false;
    if (first_ || last_) start = first_, end = last_;
    return true;
  }
  std::pair<uint64_t, uint64_t> proposed;

 private:
  bool ok_;
  uint64_t first_, last_;
};

struct Scan {
  volume::ScanState state;
  testing::RecordingRows rows;
  explicit Scan(const char* image) {
    std::string error;
    EXPECT_TRUE((error = testing::OpenImage(std::string(VELLUM_TEST_IMAGES) + "/" + image, state)).empty()) << error;
    state.rows = &rows;
    state.rootPath = "img:/";
    state.clusterScan = 1;
    state.options.analyse = false;
  }
  // Listed in `folder` or, below a folder row of the scan, in a folder inside it.
  bool ListsWithin(const std::string& folder, const std::string& name) const {
    return std::any_of(rows.rows.begin(), rows.rows.end(), [&](const RecordedRow& r) {
      return (r.Cell(1) == folder || r.Cell(1).starts_with(folder + "/")) && r.name == name;
    });
  }
  bool Lists(const std::string& folder, const std::string& name) const {
    return std::any_of(rows.rows.begin(), rows.rows.end(),
                       [&](const RecordedRow& r) { return r.Cell(1) == folder && r.name == name; });
  }
};

TEST(FatClusterScan, OrphanedFolderClustersAreListedUnderUnknown) {
  Scan scan("fat16.img");
  FixedRange range(true);
  ASSERT_EQ(ScanFatClusters(scan.state, range, {}), 1);
  EXPECT_EQ(range.proposed, (std::pair<uint64_t, uint64_t>{2, scan.state.lastCluster}));
  // old-project's cluster is free: read as entries, its deleted files count.
  EXPECT_TRUE(scan.Lists("img:/<不明>", "$LAN.TXT"));
  // Its folder photos, listed from that cluster, is read from its own: below it.
  EXPECT_TRUE(scan.Lists("img:/<不明>", "$HOTOS"));
  EXPECT_TRUE(scan.Lists("img:/<不明>/$HOTOS", "Sunset at the beach.jpg"));
  for (const RecordedRow& r : scan.rows.rows) EXPECT_TRUE(r.Cell(1).starts_with("img:/<不明>")) << r.Cell(1);
}

TEST(FatClusterScan, ClustersTheWalkReadAreNotReadAgain) {
  Scan scan("fat16.img");
  scan.state.clusterScan = 0;
  ASSERT_TRUE(WalkFatExfat(scan.state));
  const size_t walked = scan.rows.rows.size();
  scan.state.clusterScan = 1;
  FixedRange range(true);
  ASSERT_EQ(ScanFatClusters(scan.state, range, {}), 1);
  EXPECT_EQ(scan.rows.rows.size(), walked);  // every deleted folder cluster was claimed by the walk
}

TEST(FatClusterScan, RangesAndCancel) {
  Scan scan("fat12.img");
  FixedRange cancel(false);
  EXPECT_EQ(ScanFatClusters(scan.state, cancel, {}), 0);
  FixedRange backwards(true, 100, 99);
  EXPECT_EQ(ScanFatClusters(scan.state, backwards, {}), 1);
  EXPECT_TRUE(scan.rows.rows.empty());
  // Content analysis sees every scanned cluster, hit or not.
  std::vector<uint64_t> analysed;
  scan.state.options.analyse = true;
  FixedRange few(true, 3000, 3005);  // past lastCluster (2848): nothing to read
  ScanFatClusters(scan.state, few, [&](volume::ScanState&, uint64_t c, ByteView) { analysed.push_back(c); });
  EXPECT_TRUE(analysed.empty());
  FixedRange two(true, 2846, 2848);
  scan.state.allClusters = 1;
  ScanFatClusters(scan.state, two, [&](volume::ScanState&, uint64_t c, ByteView) { analysed.push_back(c); });
  EXPECT_EQ(analysed, (std::vector<uint64_t>{2846, 2847, 2848}));
}

TEST(ExfatClusterScan, DeletedFolderClustersAndLiveOnesInTheFullScan) {
  Scan scan("exfat-sets.img");
  FixedRange range(true);
  ASSERT_EQ(ScanExfatClusters(scan.state, 0, range, {}), 1);
  EXPECT_TRUE(scan.Lists("img:/<不明>", "inside.txt"));
  EXPECT_TRUE(scan.Lists("img:/<不明>/deeper", "deepest.txt"));  // below the folder row listed from gone's cluster
  EXPECT_FALSE(scan.ListsWithin("img:/<不明>", "kept.txt"));  // a live folder's cluster is not free

  Scan full("exfat-sets.img");
  full.state.options.inUse = true;
  ASSERT_EQ(ScanExfatClusters(full.state, 1, range, {}), 1);
  EXPECT_TRUE(full.Lists("img:/<不明>/live folder", "kept.txt"));
  EXPECT_TRUE(full.Lists("img:/<不明>/live folder", "dropped.txt"));
}

}  // namespace
}  // namespace vellum::fat
