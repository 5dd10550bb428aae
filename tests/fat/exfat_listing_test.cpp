#include "fat/exfat_listing.h"

#include <gtest/gtest.h>

#include "support/listing_fakes.h"
#include "volume/listing.h"

namespace vellum::fat {
namespace {

using testing::RecordingProgress;
using testing::RecordingShell;
using testing::RecordingSink;
using testing::ListedRow;

class AddRowTest : public ::testing::Test {
 protected:
  AddRowTest() {
    state.fsKind = volume::kExfat;
    state.lastCluster = 100;
    state.exfatBitmap.assign(13, 0);  // clusters 2..105 free
    state.exfatBitmap[1] = 0x01;      // cluster 10 in use
    state.rows = &sink;
    state.shell = &shell;
  }
  void Add(std::string_view name, uint64_t size, uint32_t firstCluster, uint8_t attributes = 0x20,
           uint32_t fatChain = 0) {
    FoundEntry entry;
    entry.name = name;
    entry.folder = "DOCS";
    entry.size = size;
    entry.dosDate = 0x4267;
    entry.dosTime = 0x6000;
    entry.firstCluster = firstCluster;
    entry.isFolder = (attributes & volume::kAttrDirectory) != 0;
    entry.fatChain = fatChain != 0;
    AddRow(state, entry, "sdb1:/DOCS");
  }

  volume::ScanState state;
  RecordingSink sink;
  RecordingShell shell;
};

TEST_F(AddRowTest, FillsEveryCellAndCountsTheRow) {
  RecordingProgress progress;
  state.progress = &progress;
  state.rowCount = 0;
  Add("readme.txt", 10'000'000'000ULL, 12, 0x20, 1);
  ASSERT_EQ(sink.rows.size(), 1u);
  const ListedRow& row = sink.rows[0];
  EXPECT_EQ(row.cells.at(0), "readme.txt");
  EXPECT_EQ(row.cells.at(1), "sdb1:/DOCS");
  EXPECT_EQ(row.cells.at(2), "10000000000");
  EXPECT_EQ(row.cells.at(3), "type of .txt");
  EXPECT_EQ(row.cells.at(4), "2013/03/07 12:00:00");
  EXPECT_EQ(row.cells.at(5), "      12");
  EXPECT_EQ(row.icon, 7);
  EXPECT_EQ(row.dataWord, volume::kRowFatChain);
  EXPECT_EQ(state.foundCount, 1);
  EXPECT_EQ(state.rowCount, 1);
  EXPECT_EQ(sink.shownCounts, std::vector<uint32_t>{1});
  EXPECT_EQ(progress.names, std::vector<std::string>{"readme.txt"});
}

TEST_F(AddRowTest, ZeroSizeFilesNeedTheOptionButFoldersNeverDo) {
  Add("empty.txt", 0, 12);
  EXPECT_TRUE(sink.rows.empty());
  Add("DIR", 0, 12, 0x10);
  ASSERT_EQ(sink.rows.size(), 1u);
  EXPECT_EQ(sink.rows[0].dataWord, volume::kRowFolder);
  EXPECT_EQ(shell.asked.back(), std::make_pair(std::string("*"), true));
  state.options.zeroSize = true;
  Add("empty.txt", 0, 12);
  EXPECT_EQ(sink.rows.size(), 2u);
}

TEST_F(AddRowTest, FilesWhoseFirstClusterIsInUseNeedTheOption) {
  Add("reused.doc", 5, 10);
  Add("cluster0.doc", 5, 0);
  Add("cluster1.doc", 5, 1);
  EXPECT_TRUE(sink.rows.empty());
  Add("free.doc", 5, 11);
  EXPECT_EQ(sink.rows.size(), 1u);
  state.options.inUse = true;
  Add("reused.doc", 5, 10);
  EXPECT_EQ(sink.rows.size(), 2u);
  // A folder is never held back by its cluster being in use.
  state.options.inUse = false;
  Add("DIR", 5, 10, 0x10);
  EXPECT_EQ(sink.rows.size(), 3u);
}

TEST_F(AddRowTest, FirstClusterBeyondTheVolumeIsNeverListed) {
  state.options.inUse = state.options.zeroSize = true;
  Add("far.doc", 5, 101);
  Add("FARDIR", 0, 101, 0x10);
  Add("huge.doc", 5, UINT32_MAX);
  EXPECT_TRUE(sink.rows.empty());
  EXPECT_EQ(state.foundCount, 0);
  Add("last.doc", 5, 100);
  EXPECT_EQ(sink.rows.size(), 1u);
}

TEST_F(AddRowTest, NameFilterAppliesToFoldersToo) {
  state.options.filter = "TXT";
  Add("readme.txt", 5, 11);
  Add("TXTFILE", 5, 11);
  Add("notes.doc", 5, 11);
  Add("TEXTS", 0, 11, 0x10);
  ASSERT_EQ(sink.rows.size(), 2u);
  EXPECT_EQ(sink.rows[0].cells.at(0), "readme.txt");
  EXPECT_EQ(sink.rows[1].cells.at(0), "TXTFILE");
  // A name without a '.' is looked up whole.
  EXPECT_EQ(shell.asked.back(), std::make_pair(std::string("TXTFILE"), false));
}

}  // namespace
}  // namespace vellum::fat
