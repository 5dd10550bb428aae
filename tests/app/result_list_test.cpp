#include "app/result_list.h"

#include <gtest/gtest.h>

#include "volume/listing.h"
#include "volume/scan_state.h"

namespace vellum::app {
namespace {

// A list after a FAT search: columns 0 to 5.
ResultList SearchList() {
  ResultList list;
  list.SetClusterColumn(volume::kFat32);
  return list;
}

void AddFile(ResultList& list, std::string_view name, std::string_view size, uint32_t word,
             std::string_view cluster = "") {
  const size_t row = list.RowCount();
  list.InsertRow(row, name, 0);
  list.SetCell(row, 2, size);
  list.SetCell(row, 5, cluster);
  list.SetDataWord(row, word);
}

std::vector<std::string> Column0(const ResultList& list) {
  std::vector<std::string> names;
  for (size_t i = 0; i < list.RowCount(); ++i) names.emplace_back(list.Cell(i, 0));
  return names;
}

using Names = std::vector<std::string>;

TEST(ResultListColumns, StartUpVolumeAndScanColumns) {
  ResultList list;
  ASSERT_EQ(list.ColumnCount(), 5u);
  EXPECT_EQ(list.ColumnAt(2), (Column{"サイズ", ColumnAlign::kRight, 70}));
  list.SetClusterColumn(volume::kNtfs);
  list.AddScanColumns();
  ASSERT_EQ(list.ColumnCount(), 8u);
  EXPECT_EQ(list.ColumnAt(5), (Column{"ファイル番号", ColumnAlign::kRight, 90}));
  EXPECT_EQ(list.ColumnAt(6), (Column{"スキャンクラスタ", ColumnAlign::kRight, 100}));
  EXPECT_EQ(list.ColumnAt(7), (Column{"番号", ColumnAlign::kRight, 50}));
  // The next opening removes 7, 6 and 5 and sets 5 for its own file system.
  list.SetClusterColumn(volume::kExfat);
  ASSERT_EQ(list.ColumnCount(), 6u);
  EXPECT_EQ(list.ColumnAt(5), (Column{"クラスタ", ColumnAlign::kRight, 70}));
}

TEST(ResultListColumns, CellsMoveWithInsertedAndDeletedColumns) {
  ResultList list = SearchList();
  list.InsertRow(0, "a", 0);
  for (size_t c = 1; c < 6; ++c) list.SetCell(0, c, std::to_string(c));
  list.DeleteColumn(2);
  EXPECT_EQ(list.Cell(0, 2), "3");
  EXPECT_EQ(list.Cell(0, 4), "5");
  EXPECT_EQ(list.Cell(0, 5), "");
  list.InsertColumn(1, {"x", ColumnAlign::kLeft, 10});
  EXPECT_EQ(list.Cell(0, 0), "a");
  EXPECT_EQ(list.Cell(0, 1), "");
  EXPECT_EQ(list.Cell(0, 2), "1");
  list.DeleteColumn(0);
  EXPECT_EQ(list.Cell(0, 0), "");
  EXPECT_EQ(list.Cell(0, 1), "1");
}

// Folder cells live in a table of their own; every way a cell can move or
// change must leave each row with its own folder.
TEST(ResultListColumns, FolderCellsFollowTheirRowsThroughEveryChange) {
  ResultList list = SearchList();
  const std::string deep = "v:/" + std::string(volume::kMaxFolderTextBytes, 'd');
  for (const auto& [name, folder] : std::vector<std::pair<std::string, std::string>>{
           {"b", "v:/x"}, {"a", "v:/y"}, {"c", "v:/x"}, {"d", deep}}) {
    const size_t row = list.RowCount();
    list.InsertRow(row, name, 0);
    list.SetCell(row, 1, folder);
    list.SetCell(row, 2, "1");
  }
  EXPECT_EQ(list.Cell(3, 1), deep.substr(0, volume::kMaxFolderTextBytes));
  list.SetCell(2, 1, "v:/z");
  list.OnColumnClick(0);
  EXPECT_EQ(Column0(list), (Names{"a", "b", "c", "d"}));
  EXPECT_EQ(list.Cell(0, 1), "v:/y");
  EXPECT_EQ(list.Cell(1, 1), "v:/x");
  EXPECT_EQ(list.Cell(2, 1), "v:/z");
  list.InsertColumn(0, {"x", ColumnAlign::kLeft, 10});
  EXPECT_EQ(list.Cell(0, 1), "a");
  EXPECT_EQ(list.Cell(0, 2), "v:/y");
  list.DeleteColumn(0);
  EXPECT_EQ(list.Cell(0, 0), "a");
  EXPECT_EQ(list.Cell(0, 1), "v:/y");
  EXPECT_EQ(list.Cell(0, 2), "1");
  list.SetCell(0, 1, "");
  EXPECT_EQ(list.Cell(0, 1), "");
  list.ClearRows();
  list.InsertRow(0, "e", 0);
  EXPECT_EQ(list.Cell(0, 1), "");
}

TEST(ResultListRows, DropsWhatTheListControlWouldNotHold) {
  ResultList list = SearchList();
  list.InsertRow(7, "appended", 4);  // past the end
  ASSERT_EQ(list.RowCount(), 1u);
  list.SetCell(0, 6, "no such column");
  list.SetCell(3, 1, "no such row");
  list.SetCell(0, 1, std::string_view("cut\0here", 8));
  list.SetCell(0, 4, "four");
  EXPECT_EQ(list.Cell(0, 1), "cut");
  EXPECT_EQ(list.Cell(0, 3), "");
  EXPECT_EQ(list.Cell(0, 4), "four");
  EXPECT_EQ(list.Cell(0, 6), "");
  EXPECT_EQ(list.Icon(0), 4);
  list.SetCell(0, 4, "");
  list.SetCell(0, 2, "2");
  EXPECT_EQ(list.Cell(0, 2), "2");
  EXPECT_EQ(list.Cell(0, 4), "");
}

TEST(ResultListSort, SizeTwiceThenNameWithDataWordsFollowingTheirRows) {
  ResultList list = SearchList();
  AddFile(list, "b.txt", "1000", 0);
  AddFile(list, "A.txt", "900", 1);
  AddFile(list, "c.txt", "10000000000", 2);
  AddFile(list, "d.txt", "", 3);  // an empty size counts as 0

  list.OnColumnClick(2);
  EXPECT_EQ(Column0(list), (Names{"d.txt", "A.txt", "b.txt", "c.txt"}));
  list.OnColumnClick(2);
  EXPECT_EQ(Column0(list), (Names{"c.txt", "b.txt", "A.txt", "d.txt"}));
  list.OnColumnClick(0);
  EXPECT_EQ(Column0(list), (Names{"A.txt", "b.txt", "c.txt", "d.txt"}));
  EXPECT_EQ(list.DataWord(0), 1u);
  EXPECT_EQ(list.DataWord(1), 0u);
  EXPECT_EQ(list.DataWord(2), 2u);
  EXPECT_EQ(list.DataWord(3), 3u);
  EXPECT_EQ(list.Cell(2, 2), "10000000000");
}

TEST(ResultListSort, NumbersAreReadLikeTheClusterColumnsPrintThem) {
  ResultList list = SearchList();
  AddFile(list, "a", "", 0, "     345");
  AddFile(list, "b", "", 0, "      12");
  AddFile(list, "c", "", 0, "18446744073709551615");
  AddFile(list, "d", "", 0, "7x");
  list.OnColumnClick(5);
  EXPECT_EQ(Column0(list), (Names{"d", "b", "a", "c"}));
}

TEST(ResultListSort, TextComparesUpperCasedAsUnsignedBytes) {
  ResultList list = SearchList();
  for (const char* name :
       {"写真.jpg", "zeta", "Alpha", "documents_b", "alphabet", "ALPHA", "~tilde", "Documents_a"})
    AddFile(list, name, "", 0);
  list.OnColumnClick(0);
  // ALPHA and Alpha are equal and keep their order; bytes above 0x7F sort
  // last; names alike in their first eight bytes are told apart by the rest.
  EXPECT_EQ(Column0(list), (Names{"Alpha", "ALPHA", "alphabet", "Documents_a", "documents_b",
                                  "zeta", "~tilde", "写真.jpg"}));
  list.OnColumnClick(0);
  EXPECT_EQ(Column0(list), (Names{"写真.jpg", "~tilde", "zeta", "documents_b", "Documents_a",
                                  "alphabet", "Alpha", "ALPHA"}));
}

TEST(ResultListSort, DirectionSurvivesClearingAndLoading) {
  ResultList list = SearchList();
  list.OnColumnClick(0);  // the first click on column 0 sorts ascending
  list.ClearRows();
  AddFile(list, "a", "", 0);
  AddFile(list, "b", "", 0);
  list.OnColumnClick(0);  // the second click on column 0, though the rows are new
  EXPECT_EQ(Column0(list), (Names{"b", "a"}));
  list.ReplaceColumns({{"名前", ColumnAlign::kLeft, 110}, {"x", ColumnAlign::kLeft, 10}});
  list.OnColumnClick(0);
  EXPECT_EQ(Column0(list), (Names{"a", "b"}));
  list.OnColumnClick(1);
  list.OnColumnClick(0);  // back from another column: ascending again
  EXPECT_EQ(Column0(list), (Names{"a", "b"}));
}

TEST(ResultListSelection, CtrlASelectsAllAndSelectionFollowsSort) {
  ResultList list = SearchList();
  AddFile(list, "b", "2", 0);
  AddFile(list, "a", "1", 0);
  EXPECT_EQ(list.OnListKeyDown('A', false), 0);
  EXPECT_TRUE(list.SelectedRows().empty());
  list.SetSelected(0, true);
  list.OnColumnClick(0);
  EXPECT_EQ(list.SelectedRows(), std::vector<size_t>{1});
  EXPECT_EQ(list.OnListKeyDown('A', true), 0);
  EXPECT_EQ(list.SelectedRows(), (std::vector<size_t>{0, 1}));
  list.ClearRows();
  EXPECT_TRUE(list.SelectedRows().empty());
}

class CountingObserver : public ResultListObserver {
 public:
  void OnClearing(std::string_view notice) override {
    events += "clearing:" + std::string(notice.substr(0, 3)) + ";";
  }
  void OnCleared() override { events += "cleared;"; }
  void OnFoundCountChanged(std::string_view text) override {
    events += "count:" + std::string(text) + ";";
  }
  std::string events;
};

TEST(ResultListRows, ClearingTellsTheViewAroundTheWorkAndCounterShowsText) {
  ResultList list;
  CountingObserver observer;
  list.SetObserver(&observer);
  EXPECT_EQ(list.FoundCountText(), "");
  list.InsertRow(0, "a", 0);
  list.ClearRows();
  list.ShowFoundCount(0);
  EXPECT_EQ(observer.events, "clearing:リ;cleared;count:0;");
  EXPECT_EQ(list.RowCount(), 0u);
  EXPECT_EQ(list.FoundCountText(), "0");
}

// Rows are unsaved from their first change until saved; looking at them
// (sorting, selecting) changes nothing, a new row or cell does.
TEST(ResultListSaved, RowsAreUnsavedUntilMarkedAndAgainAfterAChange) {
  ResultList list;
  EXPECT_FALSE(list.HasUnsavedRows());  // nothing to lose
  AddFile(list, "B.TXT", "20", 0);
  AddFile(list, "A.TXT", "10", 0);
  EXPECT_TRUE(list.HasUnsavedRows());
  list.MarkSaved();
  const uint64_t saved = list.Revision();
  list.OnColumnClick(0);
  list.SelectAll();
  EXPECT_FALSE(list.HasUnsavedRows());
  EXPECT_EQ(list.Revision(), saved);
  list.SetCell(0, 2, "11");
  EXPECT_TRUE(list.HasUnsavedRows());
  list.MarkSaved();
  list.ClearRows();
  EXPECT_FALSE(list.HasUnsavedRows());  // empty again
  AddFile(list, "C.TXT", "1", 0);
  EXPECT_TRUE(list.HasUnsavedRows());
}

}  // namespace
}  // namespace vellum::app
