// The test that lets a predicted cluster be read as part of a deleted exFAT
// folder: on an image made by exfat-fuse, the clusters that hold directory
// entries are exactly the folders' clusters The Sleuth Kit names.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "fat/directory_cluster.h"
#include "support/open_image.h"
#include "support/run_command.h"
#include "volume/sector_io.h"

namespace vellum::fat {
namespace {

using volume::ScanState;

const std::string kImage = std::string(VELLUM_TEST_IMAGES) + "/exfat-runs.img";

// The first cluster of the root and of every folder fls lists.
std::set<uint64_t> FolderClusters(const ScanState& s) {
  std::set<uint64_t> out{s.rootCluster};
  std::istringstream lines(testing::RunCommand("fls -r '" + kImage + "'"));
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("d/d")) continue;
    const size_t colon = line.find(':'), space = line.rfind(' ', colon);
    const std::string stat =
        testing::RunCommand("istat '" + kImage + "' " + line.substr(space + 1, colon - space - 1));
    const size_t at = stat.find("Sectors:\n");
    if (at == std::string::npos) continue;
    const uint64_t sector = std::stoull(stat.substr(at + 9));
    out.insert((sector - s.firstDataSector) / s.sectorsPerCluster + 2);
  }
  return out;
}

TEST(ExfatDirectoryCluster, OnlyTheFoldersClustersReadAsDirectoryEntries) {
  ScanState s;
  ASSERT_EQ(testing::OpenImage(kImage, s), "");
  std::set<uint64_t> passing;
  std::vector<uint8_t> cluster(s.clusterBytes);
  for (uint64_t c = 2; c <= s.lastCluster; ++c) {
    ASSERT_TRUE(volume::ReadCluster(s, c, cluster));
    const bool zeros = std::all_of(cluster.begin(), cluster.end(), [](uint8_t b) { return b == 0; });
    if (!zeros && IsExfatDirectoryCluster(cluster)) passing.insert(c);
  }
  const std::set<uint64_t> folders = FolderClusters(s);
  EXPECT_EQ(folders.size(), 7u);
  EXPECT_EQ(passing, folders);
}

// Zeros pass at once; zeros but for one byte go through the slot test, which
// looks only at type bytes: after an end mark every type must be zero.
TEST(ExfatDirectoryCluster, ZerosPassAndOneSetByteIsJudgedByItsSlot) {
  std::vector<uint8_t> c(4096);
  EXPECT_TRUE(IsExfatDirectoryCluster(c));
  c[4095] = 0x41;  // inside the last slot, not its type
  EXPECT_TRUE(IsExfatDirectoryCluster(c));
  c[4064] = 0x85;  // the last slot's type, after the end mark
  EXPECT_FALSE(IsExfatDirectoryCluster(c));
  EXPECT_FALSE(IsExfatDirectoryCluster(std::vector<uint8_t>(4096 + 16)));
  // FAT: zeros after the end mark, to the cluster's last byte.
  std::vector<uint8_t> f(4096);
  EXPECT_TRUE(IsDirectoryCluster(f, 1000));
  f[4095] = 1;
  EXPECT_FALSE(IsDirectoryCluster(f, 1000));
}

}  // namespace
}  // namespace vellum::fat
