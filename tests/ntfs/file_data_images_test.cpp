// The data of every file on the committed NTFS images, read through the
// record, attribute and run code, compared byte for byte with what The Sleuth
// Kit's icat extracts for the same record: live and deleted files, resident
// and non-resident data, fragments, compression units, sparse runs, data past
// the initialized size, and $DATA extents behind an attribute list.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "support/open_image.h"
#include "ntfs/attribute.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/file_data.h"
#include "ntfs/file_name.h"
#include "ntfs/find_attribute.h"
#include "ntfs/record.h"
#include "support/run_command.h"
#include "volume/sector_io.h"

namespace vellum::ntfs {
namespace {

using testing::RunCommand;

struct Listed {
  uint32_t record = 0;
  std::string path;
  bool deleted = false;
};

// Regular files as `fls -r -p` lists them ("r/r * 70-128-2:\tpath").
// The hundreds of small hole files of the fragmentation images add time, not
// coverage: a few of them are kept.
std::vector<Listed> ListFiles(const std::string& image) {
  std::vector<Listed> files;
  int holes = 0;
  std::istringstream lines(RunCommand("fls -r -p '" + image + "'"));
  for (std::string line; std::getline(lines, line);) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos || line.size() < 4 || line[2] != 'r') continue;
    const std::string path = line.substr(tab + 1);
    if (path.starts_with("$")) continue;  // the file system's own files and orphans
    if (path.starts_with("frag/hole-") && ++holes > 4) continue;
    Listed f;
    f.deleted = line.find(" * ") != std::string::npos;
    const size_t start = line.rfind(' ', tab) + 1;
    f.record = static_cast<uint32_t>(std::stoul(line.substr(start)));
    f.path = path;
    files.push_back(f);
  }
  return files;
}

bool SameBytes(const std::vector<uint8_t>& data, const std::string& expected) {
  return data.size() == expected.size() &&
         std::equal(data.begin(), data.end(), expected.begin(),
                    [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
}

std::string ImagePath(const char* name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }

void Open(const std::string& image, volume::ScanState& state) {
  ASSERT_TRUE(std::filesystem::exists(image)) << image;
  std::string error;
  ASSERT_TRUE((error = testing::OpenImage(image, state)).empty()) << error;
}

class NtfsImageData : public ::testing::TestWithParam<const char*> {};

TEST_P(NtfsImageData, EveryFileReadsAsIcatExtractsIt) {
  const std::string image = ImagePath(GetParam());
  volume::ScanState state;
  ASSERT_NO_FATAL_FAILURE(Open(image, state));
  const auto files = ListFiles(image);
  ASSERT_GT(files.size(), 5u);
  for (const Listed& f : files) {
    SCOPED_TRACE(f.path + " record " + std::to_string(f.record));
    const std::string expected =
        RunCommand("icat " + std::string(f.deleted ? "-r " : "") + "'" + image + "' " + std::to_string(f.record));
    std::vector<uint8_t> data;
    EXPECT_TRUE(ReadFileData(state, f.record, data));
    EXPECT_EQ(data.size(), expected.size());
    EXPECT_TRUE(SameBytes(data, expected));
  }
}

TEST_P(NtfsImageData, ClusterBitmapAgreesWithBlkls) {
  const std::string image = ImagePath(GetParam());
  volume::ScanState state;
  ASSERT_NO_FATAL_FAILURE(Open(image, state));
  ASSERT_TRUE(LoadNtfsClusterBitmap(state));
  EXPECT_EQ(state.clusterBitmap.size(), (state.lastCluster + 1 + 7) / 8);
  std::istringstream lines(RunCommand("blkls -l -e '" + image + "'"));
  uint64_t checked = 0;
  for (std::string line; std::getline(lines, line);) {
    const size_t bar = line.find('|');
    if (bar == std::string::npos || line[0] < '0' || line[0] > '9') continue;
    const uint64_t cluster = std::stoull(line.substr(0, bar));
    EXPECT_EQ(volume::IsNtfsClusterUsed(state, cluster), line.substr(bar + 1) == "a") << cluster;
    ++checked;
  }
  EXPECT_EQ(checked, state.lastCluster + 1);
}

INSTANTIATE_TEST_SUITE_P(Images, NtfsImageData,
                         ::testing::Values("ntfs-4k.img", "ntfs-512.img", "ntfs-special-4k.img",
                                           "ntfs-special-512.img"),
                         [](const auto& info) {
                           std::string n = info.param;
                           for (char& c : n) if (c == '-' || c == '.') c = '_';
                           return n;
                         });

// pieces.bin (record 74) continues its $DATA in an extension record named by
// its attribute list. pieces-deleted.bin (75) is fragmented and deleted; the
// driver dropped its later extents from the list when it deleted it, so its
// runs cover only the start of its data size.
TEST(NtfsSpecialImage, ExtentBehindTheAttributeListAndADeletedFragmentedFile) {
  const std::string image = ImagePath("ntfs-special-512.img");
  volume::ScanState state;
  ASSERT_NO_FATAL_FAILURE(Open(image, state));
  std::vector<uint8_t> record(state.mftRecordSize);
  ASSERT_TRUE(ReadMftRecord(state, 74, record));
  const auto name = FileNameOf(state, record);
  ASSERT_TRUE(name);
  EXPECT_EQ(name->parentReference & 0xFFFFFFFF, 73u);
  EXPECT_FALSE(FindAttribute(state, record, kAttrData, 384, true));
  const auto extent = FindAttribute(state, record, kAttrData, 384, false);
  ASSERT_TRUE(extent);
  EXPECT_NE(Le32(record, 44), 74u);            // an extension record now
  EXPECT_EQ(Le64(record, 32) & 0xFFFFFFFF, 74u);  // whose base is 74
  EXPECT_EQ(ParseAttribute(AttributeBytes(record, *extent))->firstVcn, 384u);

  std::vector<uint8_t> data;
  EXPECT_FALSE(ReadFileData(state, 75, data));
  ASSERT_EQ(data.size(), 409600u);
  const std::string mapped = RunCommand("icat -r '" + image + "' 75");
  ASSERT_EQ(mapped.size(), 20480u);
  EXPECT_TRUE(SameBytes({data.begin(), data.begin() + 20480}, mapped));
  EXPECT_TRUE(std::all_of(data.begin() + 20480, data.end(), [](uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace vellum::ntfs
