// The NTFS search on the committed images, record by record against what The
// Sleuth Kit lists as deleted (fls -rd -p) and reads from each record (istat).
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "support/open_image.h"
#include "ntfs/ntfs_search.h"
#include "support/recording_rows.h"
#include "support/tsk.h"

namespace vellum::ntfs {
namespace {

using testing::RecordedRow;

struct Deleted {
  std::string path, size, written;
  bool directory = false;
};

// fls -rd -p, keyed by record number; mkntfs's never-used reserved records
// (listed as orphan files) carry no name and are left out.
std::map<uint32_t, Deleted> ReadFls(const std::string& image) {
  std::map<uint32_t, Deleted> out;
  std::istringstream lines(testing::RunCommand("fls -rd -p '" + image + "'"));
  for (std::string line; std::getline(lines, line);) {
    const size_t star = line.find("* "), tab = line.find('\t');
    if (star == std::string::npos || tab == std::string::npos || line.find("$OrphanFiles") != std::string::npos)
      continue;
    const uint32_t record = static_cast<uint32_t>(std::stoul(line.substr(star + 2)));
    Deleted d;
    d.path = line.substr(tab + 1);
    d.directory = line.starts_with("-/d");
    const std::string stat = testing::RunCommand("istat '" + image + "' " + std::to_string(record));
    d.written = testing::TskField(stat, "File Modified:\t").substr(0, 23);
    for (char& c : d.written)
      if (c == '-') c = '/';
    const std::string data = testing::TskField(stat, "$DATA (128-");
    const size_t size = data.find("size: ");
    d.size = size == std::string::npos ? "0" : data.substr(size + 6, data.find(' ', size + 6) - size - 6);
    out[record] = d;
  }
  return out;
}

class NtfsImage : public ::testing::TestWithParam<const char*> {};

TEST_P(NtfsImage, ListsEveryDeletedRecordTheSleuthKitSees) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  const std::string image = std::string(VELLUM_TEST_IMAGES) + "/" + GetParam() + ".img";
  volume::ScanState s;
  std::string error;
  ASSERT_TRUE((error = testing::OpenImage(image, s)).empty()) << error;
  testing::RecordingRows rows;
  s.rows = &rows;
  s.rootPath = "img:/";
  s.options.zeroSize = true;
  ASSERT_TRUE(SearchNtfs(s, 0, ""));

  const std::map<uint32_t, Deleted> tsk = ReadFls(image);
  ASSERT_FALSE(tsk.empty());
  EXPECT_EQ(rows.rows.size(), tsk.size());
  for (const RecordedRow& r : rows.rows) {
    const uint32_t record = static_cast<uint32_t>(std::stoul(r.Cell(5)));
    SCOPED_TRACE(r.name + " #" + std::to_string(record));
    auto it = tsk.find(record);
    ASSERT_NE(it, tsk.end()) << "listed, but not deleted for The Sleuth Kit";
    const std::string folder = r.Cell(1).substr(5);  // after "img:/"
    EXPECT_EQ(folder.empty() ? r.name : folder + "/" + r.name, it->second.path);
    EXPECT_EQ(r.dataWord, it->second.directory ? 1u : 0u);
    EXPECT_EQ(r.Cell(2), it->second.directory ? "" : it->second.size);
    EXPECT_EQ(r.Cell(4), it->second.written);
  }
}

TEST(NtfsSearch, ZeroSizeFilesOnlyWithTheOptionAndFoldersAlways) {
  const std::string image = std::string(VELLUM_TEST_IMAGES) + "/ntfs-512.img";
  volume::ScanState s;
  std::string error;
  ASSERT_TRUE((error = testing::OpenImage(image, s)).empty()) << error;
  testing::RecordingRows rows;
  s.rows = &rows;
  s.options.filter = "EMPTY";
  ASSERT_TRUE(SearchNtfs(s, 0, ""));
  EXPECT_TRUE(rows.rows.empty());
  s.options.filter = "PROJECT";
  ASSERT_TRUE(SearchNtfs(s, 0, ""));
  ASSERT_EQ(rows.rows.size(), 1u);
  EXPECT_EQ(rows.rows[0].name, "old-project");
  EXPECT_EQ(rows.rows[0].Cell(2), "");
  EXPECT_EQ(rows.rows[0].Cell(5), "      87");
}

INSTANTIATE_TEST_SUITE_P(Images, NtfsImage, ::testing::Values("ntfs-4k", "ntfs-512"),
                         [](const auto& info) {
                           std::string n = info.param;
                           for (char& c : n)
                             if (c == '-') c = '_';
                           return n;
                         });

}  // namespace
}  // namespace vellum::ntfs

namespace vellum::ntfs {
namespace {

TEST(NtfsParents, ReusedParentsAndOverlongPathsBecomeUnknownUnderTheRoot) {
  volume::ScanState s;
  std::string error;
  ASSERT_TRUE((error = testing::OpenImage(std::string(VELLUM_TEST_IMAGES) + "/ntfs-parents.img", s)).empty()) << error;
  testing::RecordingRows rows;
  s.rows = &rows;
  s.rootPath = "p:/";
  ASSERT_TRUE(SearchNtfs(s, 0, ""));
  std::map<std::string, std::string> folderOf;
  for (const RecordedRow& r : rows.rows) folderOf[r.name.substr(0, 8)] = r.Cell(1);

  EXPECT_EQ(folderOf["orphan.t"], "p:/<不明>");
  EXPECT_EQ(folderOf["child.tx"], "p:/kept-folder");
  std::string chain;  // level-1/.../level-5: 509 characters, inside the cap
  for (int i = 1; i <= 5; ++i) {
    char name[128];
    std::snprintf(name, sizeof name, "level-%d-%093d", i, 0);
    chain += (i > 1 ? "/" : "") + std::string(name);
  }
  EXPECT_EQ(folderOf["level-6-"], "p:/" + chain);
  // With level-6 the folder path passes 520 characters.
  const std::string bottom = folderOf["bottom.t"];
  EXPECT_EQ(bottom.substr(0, 3 + std::string("<不明>/").size()), "p:/<不明>/");
  EXPECT_NE(bottom.find(chain + "/level-6-"), std::string::npos);
  EXPECT_EQ(folderOf.count("new-file"), 0u);  // in use
}

}  // namespace
}  // namespace vellum::ntfs
