// The recoverability state the command line gives every row, checked against
// The Sleuth Kit's allocation status of the same clusters (blkstat, istat).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/restore_cli.h"
#include "cli/search_cli.h"
#include "support/open_image.h"
#include "support/run_command.h"

namespace vellum::cli {
namespace {

namespace fs = std::filesystem;
using testing::RunCommand;

std::vector<nlohmann::json> Rows(const std::string& image) {
  std::ostringstream out, err;
  ::testing::internal::CaptureStderr();
  RunSearch({image, "--thorough", "--in-use", "--zero-size", "--free-scan", "--format", "json"}, out, err);
  ::testing::internal::GetCapturedStderr();
  std::vector<nlohmann::json> rows;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) rows.push_back(nlohmann::json::parse(line));
  return rows;
}

// What blkstat says of every address at once (blkls -l -e: "addr|a" or
// "addr|f"): a sector on FAT and exFAT, a cluster on NTFS.
std::vector<bool> AllocatedAddresses(const std::string& image) {
  std::vector<bool> allocated;
  std::istringstream lines(RunCommand("blkls -l -e '" + image + "'"));
  for (std::string line; std::getline(lines, line);) {
    const size_t bar = line.find('|');
    if (bar == std::string::npos || line[0] < '0' || line[0] > '9') continue;
    const uint64_t address = std::stoull(line);
    if (address >= allocated.size()) allocated.resize(address + 1);
    allocated[address] = line.compare(bar + 1, 1, "a") == 0;
  }
  return allocated;
}

bool Allocated(const std::string& image, uint64_t address) {
  return RunCommand("blkstat '" + image + "' " + std::to_string(address)).find("\nAllocated") != std::string::npos;
}

// The first cluster of a record's $DATA as istat lists it; none when resident.
std::optional<uint64_t> FirstDataCluster(const std::string& image, uint64_t record) {
  const std::string stat = RunCommand("istat '" + image + "' " + std::to_string(record));
  const size_t data = stat.find("Type: $DATA (128-");
  if (data == std::string::npos || stat.find("Non-Resident", data) > stat.find('\n', data)) return std::nullopt;
  const size_t next = stat.find('\n', data) + 1;
  if (next >= stat.size() || stat[next] < '0' || stat[next] > '9') return std::nullopt;
  return std::stoull(stat.substr(next));
}

// A row is overwritten exactly when The Sleuth Kit finds the first cluster
// its restore would read allocated; a row that is not reads no allocated
// cluster first. Every row of the volume images of the test data but the
// largest.
TEST(RowState, OverwrittenRowsAreThoseWhoseFirstClusterIsAllocated) {
  size_t checked = 0, overwritten = 0;
  // Every kind of volume and row the test data holds; the larger images' scans
  // would take most of the time under the sanitizers and add no kind.
  for (const char* name : {"fat12.img", "fat16.img", "fat16-cp932.img", "fat32-512.img", "fat32-thorough.img",
                           "camera-fat32.img", "garbage-fat16.img", "exfat.img", "exfat-live.img", "exfat-sets.img",
                           "exfat-runs.img", "camera-exfat.img", "garbage-exfat.img", "ntfs-4k.img", "ntfs-512.img",
                           "ntfs-orphans.img", "ntfs-parents.img", "ntfs-special-4k.img"}) {
    const std::string image = std::string(VELLUM_TEST_IMAGES) + "/" + name;
    SCOPED_TRACE(name);
    volume::ScanState s;
    ASSERT_EQ(testing::OpenImage(image, s), "");
    const bool ntfs = s.fsKind == volume::kNtfs;
    const std::vector<bool> allocated = AllocatedAddresses(image);
    size_t records = 0;
    for (const nlohmann::json& row : Rows(image)) {
      ASSERT_TRUE(row["state"].is_string()) << row.dump();
      const std::string state = row["state"];
      std::optional<uint64_t> cluster;
      // istat is asked about at most 4 records of an image, to keep the test quick.
      if (ntfs && row["record"].is_number() && ++records <= 4) cluster = FirstDataCluster(image, row["record"]);
      else if (ntfs && row["record"].is_number()) continue;
      else if (ntfs && row["kind"] == "content") cluster = row["scan_cluster"].get<uint64_t>();
      else if (!ntfs && row["cluster"].is_number() && row["cluster"].get<uint64_t>() >= 2) cluster = row["cluster"];
      else continue;
      if (!cluster || (row["size"].is_number() && row["size"] == 0)) {
        EXPECT_NE(state, "overwritten") << row.dump();
        continue;
      }
      const uint64_t address = ntfs ? *cluster : s.firstDataSector + (*cluster - 2) * s.sectorsPerCluster;
      ASSERT_LT(address, allocated.size()) << row.dump();
      EXPECT_EQ(state == "overwritten", allocated[address]) << row.dump();
      ++checked;
      overwritten += state == "overwritten";
    }
  }
  EXPECT_GT(checked, 150u);
  EXPECT_GT(overwritten, 10u);
}

// The contiguous exFAT file whose run crosses a live file: two of its eight
// clusters are in use, as blkstat says of the same clusters.
TEST(RowState, PartlyOverwrittenCountsTheClustersInUse) {
  const std::string image = std::string(VELLUM_TEST_IMAGES) + "/exfat-runs.img";
  volume::ScanState s;
  ASSERT_EQ(testing::OpenImage(image, s), "");
  for (const nlohmann::json& row : Rows(image)) {
    if (row["name"] != "crossed.bin") continue;
    EXPECT_EQ(row["state"], "partly-overwritten");
    EXPECT_EQ(row["clusters_in_use"], 2);
    const uint64_t first = row["cluster"];
    uint64_t allocated = 0;
    for (uint64_t c = first; c < first + 8; ++c)
      allocated += Allocated(image, s.firstDataSector + (c - 2) * s.sectorsPerCluster);
    EXPECT_EQ(allocated, 2u);
    return;
  }
  FAIL() << "crossed.bin not listed";
}

// On a camera card the content scan finds the pictures already listed by
// name: each such row says which, and restoring every row writes each
// picture once, by its name, counting the repeats apart. On NTFS the named
// rows are records, whose first clusters are read from them.
TEST(SameContent, EachContentIsWrittenOnce) {
  struct Card {
    const char* image;
    size_t repeats, contents, files;
  };
  for (const Card& c : {Card{"camera-fat32.img", 5, 6, 6}, Card{"camera-exfat.img", 5, 6, 6},
                        Card{"media-ntfs.img", 27, 27, 36}}) {
    const char* card = c.image;
    SCOPED_TRACE(card);
    const std::string image = std::string(VELLUM_TEST_IMAGES) + "/" + card;
    const fs::path dir = fs::temp_directory_path() / ("vellum-same-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    size_t repeats = 0, contents = 0;
    for (const nlohmann::json& row : Rows(image)) {
      if (row["kind"] != "content") continue;
      ++contents;
      if (!row["same_as"].is_number()) continue;
      ++repeats;
      EXPECT_LT(row["same_as"].get<size_t>(), row["row"].get<size_t>());
    }
    EXPECT_EQ(repeats, c.repeats);
    EXPECT_EQ(contents, c.contents);

    std::ostringstream out, err;
    ::testing::internal::CaptureStderr();
    RunSearch({image, "--thorough", "--free-scan", "-o", (dir / "found.tsv").string()}, out, err);
    const int status = RunRestore({image, "--results", (dir / "found.tsv").string(), "--to", (dir / "out").string()}, out, err);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 0) << out.str() << err.str();
    EXPECT_NE(out.str().find("ファイル: " + std::to_string(c.files) + " 件"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("名前のあるファイルと同じデータのため書き出さなかった行: " + std::to_string(c.repeats) + " 件"),
              std::string::npos)
        << out.str();
    size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir / "out")) files += e.is_regular_file();
    EXPECT_EQ(files, c.files);
    fs::remove_all(dir);
  }
}

}  // namespace
}  // namespace vellum::cli
