// The data of every file on the committed NTFS images, read through the
// record, attribute and run code, compared byte for byte with what The Sleuth
// Kit's icat extracts for the same record: live and deleted files, resident
// and non-resident data, fragments, compression units, sparse runs, data past
// the initialized size, and $DATA extents behind an attribute list.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/info_command.h"
#include "ntfs/file_data.h"
#include "support/run_command.h"

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

class NtfsImageData : public ::testing::TestWithParam<const char*> {};

TEST_P(NtfsImageData, EveryFileReadsAsIcatExtractsIt) {
  const std::string image = std::string(VELLUM_TEST_IMAGES) + "/" + GetParam();
  ASSERT_TRUE(std::filesystem::exists(image)) << image;
  volume::ScanState state;
  std::string error;
  ASSERT_TRUE(cli::OpenSourceVolume(image, state, error)) << error;
  const auto files = ListFiles(image);
  ASSERT_GT(files.size(), 5u);
  for (const Listed& f : files) {
    SCOPED_TRACE(f.path + " record " + std::to_string(f.record));
    const std::string expected =
        RunCommand("icat " + std::string(f.deleted ? "-r " : "") + "'" + image + "' " + std::to_string(f.record));
    std::vector<uint8_t> data;
    EXPECT_TRUE(ReadFileData(state, f.record, data));
    ASSERT_EQ(data.size(), expected.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), expected.begin(),
                           [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }));
  }
}

INSTANTIATE_TEST_SUITE_P(Images, NtfsImageData,
                         ::testing::Values("ntfs-4k.img", "ntfs-512.img", "ntfs-special-4k.img",
                                           "ntfs-special-512.img"),
                         [](const auto& info) {
                           std::string n = info.param;
                           for (char& c : n) if (c == '-' || c == '.') c = '_';
                           return n;
                         });

}  // namespace
}  // namespace vellum::ntfs
