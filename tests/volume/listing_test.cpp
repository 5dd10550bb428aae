#include "volume/listing.h"

#include <gtest/gtest.h>

#include <map>

namespace vellum::volume {
namespace {

struct RecordedRow {
  std::map<size_t, std::string> cells;
  int icon = 0;
  uint32_t dataWord = 0;
};

class RecordingSink : public RowSink {
 public:
  void InsertRow(size_t index, std::string_view name, int iconIndex) override {
    ASSERT_LE(index, rows.size());
    rows.insert(rows.begin() + static_cast<ptrdiff_t>(index),
                RecordedRow{{{0, std::string(name)}}, iconIndex, 0});
  }
  void SetCell(size_t index, size_t column, std::string_view text) override {
    rows.at(index).cells[column] = text;
  }
  void SetDataWord(size_t index, uint32_t word) override { rows.at(index).dataWord = word; }
  void ShowFoundCount(uint32_t count) override { shownCounts.push_back(count); }

  std::vector<RecordedRow> rows;
  std::vector<uint32_t> shownCounts;
};

class RecordingShell : public ShellInfo {
 public:
  ShellFileInfo Lookup(std::string_view key, bool directory) override {
    asked.emplace_back(std::string(key), directory);
    return {directory ? "フォルダー" : "type of " + std::string(key), directory ? 3 : 7};
  }
  std::vector<std::pair<std::string, bool>> asked;
};

class RecordingProgress : public Progress {
 public:
  int OpenProgress() override { return 1; }
  void StartPhase(std::string_view, uint64_t) override {}
  void ShowFileLabel() override {}
  int Update(uint64_t) override { return 1; }
  int PumpAndCheckCancel() override { return 0; }
  void SetFileName(std::string_view name) override { names.emplace_back(name); }
  void CloseProgress() override {}
  std::vector<std::string> names;
};

class AddRowTest : public ::testing::Test {
 protected:
  AddRowTest() {
    state.fsKind = kExfat;
    state.lastCluster = 100;
    state.exfatBitmap.assign(13, 0);  // clusters 2..105 free
    state.exfatBitmap[1] = 0x01;      // cluster 10 in use
    state.rows = &sink;
    state.shell = &shell;
  }
  void Add(std::string_view name, uint64_t size, uint32_t firstCluster, uint8_t attributes = 0x20,
           uint32_t fatChain = 0) {
    AddRow(state, name, "sdb1:/DOCS", size, 0x4267, 0x6000, firstCluster, attributes, fatChain);
  }

  ScanState state;
  RecordingSink sink;
  RecordingShell shell;
};

TEST_F(AddRowTest, FillsEveryCellAndCountsTheRow) {
  RecordingProgress progress;
  state.progress = &progress;
  state.rowCount = 0;
  Add("readme.txt", 10'000'000'000ULL, 12, 0x20, 1);
  ASSERT_EQ(sink.rows.size(), 1u);
  const RecordedRow& row = sink.rows[0];
  EXPECT_EQ(row.cells.at(0), "readme.txt");
  EXPECT_EQ(row.cells.at(1), "sdb1:/DOCS");
  EXPECT_EQ(row.cells.at(2), "10000000000");
  EXPECT_EQ(row.cells.at(3), "type of .txt");
  EXPECT_EQ(row.cells.at(4), "2013/03/07 12:00:00");
  EXPECT_EQ(row.cells.at(5), "      12");
  EXPECT_EQ(row.icon, 7);
  EXPECT_EQ(row.dataWord, kRowFatChain);
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
  EXPECT_EQ(sink.rows[0].dataWord, kRowFolder);
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

TEST(NameFilter, MatchesOnlyWholeCharactersOfJapaneseNames) {
  EXPECT_TRUE(NameMatchesFilter("写真txt.jpg", "真TXT"));
  EXPECT_TRUE(NameMatchesFilter("anything", ""));
  // In code page 932 "ア" is 83 41 and "ト" 83 67: a byte-wise search would
  // find 'A' and an upper-cased 'g' inside them. In UTF-8 it cannot.
  EXPECT_FALSE(NameMatchesFilter("アイ.doc", "A"));
  EXPECT_FALSE(NameMatchesFilter("トヌ", "G"));
  // Only ASCII is upper-cased: a full-width letter stays as it is.
  EXPECT_FALSE(NameMatchesFilter("ａｂｃ", "ＡＢＣ"));
}

TEST(ListFoundEntry, WithoutShellTheTypeIsEmptyAndTheIconZero) {
  ScanState state;
  RecordingSink sink;
  state.rows = &sink;
  state.rowCount = 0;
  std::string type = "stale";
  EXPECT_EQ(ListFoundEntry(state, "a.txt", false, &type), 0u);
  EXPECT_EQ(ListFoundEntry(state, "b.txt", false, &type), 1u);
  EXPECT_EQ(type, "");
  ASSERT_EQ(sink.rows.size(), 2u);
  EXPECT_EQ(sink.rows[1].cells.at(0), "b.txt");
  EXPECT_EQ(sink.rows[1].icon, 0);
  EXPECT_EQ(sink.shownCounts, (std::vector<uint32_t>{1, 2}));
}

TEST(FormatDosDateTime, PrintsFieldsAsStoredWithOptionalMilliseconds) {
  // 2013-03-10 23:59:58: date (33 << 9) | (3 << 5) | 10, time (23 << 11) | (59 << 5) | 29.
  const uint16_t date = (33 << 9) | (3 << 5) | 10;
  const uint16_t time = (23 << 11) | (59 << 5) | 29;
  EXPECT_EQ(FormatDosDateTime(date, time), "2013/03/10 23:59:58");
  EXPECT_EQ(FormatDosDateTime(date, time, 0), "2013/03/10 23:59:58.000");
  EXPECT_EQ(FormatDosDateTime(date, time, 199), "2013/03/10 23:59:59.990");
  EXPECT_EQ(FormatDosDateTime(date, time, 57), "2013/03/10 23:59:58.570");
  // Nothing is validated: a zero date prints month and day 0.
  EXPECT_EQ(FormatDosDateTime(0, 0), "1980/00/00 00:00:00");
  EXPECT_EQ(FormatDosDateTime(0xFFFF, 0xFFFF), "2107/15/31 31:63:62");
}

}  // namespace
}  // namespace vellum::volume
