// The thorough search on a camera-card-like exFAT image: restoring the
// deleted files of live folders, and complete deletion leaving nothing that
// the thorough search or the free-cluster scan can list.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/restore_command.h"
#include "app/wipe_command.h"
#include "fat/wipe.h"
#include "support/command_fixture.h"
#include "support/tsk.h"
#include "support/fixture_bytes.h"

namespace vellum::fat {
namespace {
using testing::Pattern;
using testing::ReadFile;

namespace fs = std::filesystem;
using testing::Command;
using testing::RowsNamed;
using testing::TempDir;

const std::string kImage = std::string(VELLUM_TEST_IMAGES) + "/exfat-live.img";



class WholeVolume : public ClusterRangeAsker {
 public:
  bool RunClusterRangeDialog(uint64_t&, uint64_t&) override { return true; }
};

// A thorough search listing every kind of entry, then the free-cluster scan.
struct EverythingSearch : Command {
  WholeVolume range;
  explicit EverythingSearch(const std::string& image) : Command(image) {
    context.options.thorough = context.options.inUse = context.options.zeroSize = true;
    context.options.analyse = false;
    context.rangeAsker = &range;
    messages.answers = {MessageAnswer::Yes};  // scan the free clusters
    EXPECT_EQ(app::OnSearch(context), 1);
  }
};

TEST(ExfatThorough, RestoreBringsBackLiveFoldersDeletedFilesAndMakesNoEmptyFolders) {
  TempDir out;
  Command restore(kImage);
  restore.context.options.thorough = true;
  app::RestoreSummary summary;
  ASSERT_EQ(app::OnRestore(restore.context, {out.Path("walk"), nullptr, {}, 0}, summary), 1);
  size_t files = 0;
  for (const testing::TskEntry& e : testing::ReadTskDeleted(kImage)) {
    if (e.directory || e.folder.starts_with("$OrphanFiles")) continue;
    const std::string path = out.Path("walk/" + e.folder + "/" + e.name);
    EXPECT_EQ(ReadFile(path), Pattern(e.name, std::stoull(e.size))) << path;
    ++files;
  }
  EXPECT_EQ(files, 7u);
  // Live folders are made only on the way to something restored in them.
  EXPECT_TRUE(fs::is_directory(out.Path("walk/DCIM/101TEST2/burst")));
  EXPECT_FALSE(fs::exists(out.Path("walk/DCIM/102TEST3")));
  EXPECT_FALSE(fs::exists(out.Path("walk/DCIM/100TEST1/IMG_0001.JPG")));  // live

  Command plain(kImage);
  app::OnRestore(plain.context, {out.Path("plain"), nullptr, {}, 0}, summary);
  EXPECT_FALSE(fs::exists(out.Path("plain/DCIM")));
}

TEST(ExfatThorough, WipeLeavesNothingForTheThoroughSearchOrTheFreeClusterScan) {
  {
    EverythingSearch before(kImage);
    EXPECT_EQ(RowsNamed(before.list, "IMG_0004.JPG").size(), 1u);
    // Walked; the free-cluster scan passes over the clusters the walk read.
    EXPECT_EQ(RowsNamed(before.list, "BURST_02.JPG").size(), 1u);
    ASSERT_EQ(RowsNamed(before.list, "orphaned.txt").size(), 1u);  // the orphaned cluster, under <不明>
  }
  for (const bool thorough : {false, true}) {
    SCOPED_TRACE(thorough ? "--thorough" : "plain");
    TempDir dir;
    const std::string copy = dir.Path("card.img");
    fs::copy_file(kImage, copy);
    const std::string original = ReadFile(copy);
    Command wipe(copy);
    wipe.context.options.thorough = thorough;
    wipe.messages.answers = {MessageAnswer::Yes};
    ASSERT_EQ(app::OnCompleteDeletion(wipe.context), 1);

    EverythingSearch after(copy);
    for (size_t row = 0; row < after.list.RowCount(); ++row)
      ADD_FAILURE() << "still listed: " << after.list.Cell(row, 1) << " " << after.list.Cell(row, 0);
    // Only bytes 1-31 of entries whose in-use bit was clear changed, and the
    // data of clusters free in the bitmap, all to zero: nothing in use was written.
    const std::string wiped = ReadFile(copy);
    ASSERT_EQ(wiped.size(), original.size());
    const volume::ScanState& s = after.state;
    for (size_t i = 0; i < wiped.size(); ++i) {
      if (wiped[i] == original[i]) continue;
      ASSERT_EQ(wiped[i], '\0') << "offset " << i;
      const uint64_t sector = i / s.bytesPerSector;
      if (sector >= s.firstDataSector && IsFreeOnDisk(s, (sector - s.firstDataSector) / s.sectorsPerCluster + 2))
        continue;
      ASSERT_NE(i % 32, 0u) << "offset " << i;
      ASSERT_EQ(static_cast<uint8_t>(original[i - i % 32]) & 0x80, 0) << "offset " << i;
      ASSERT_EQ(wiped[i], '\0') << "offset " << i;
    }
  }
}

}  // namespace
}  // namespace vellum::fat
