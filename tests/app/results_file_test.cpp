#include "app/results_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/codepage.h"
#include "volume/scan_state.h"

namespace vellum::app {
namespace {

namespace fs = std::filesystem;

class FakeHost : public ResultsFileHost {
 public:
  std::string AskSavePath(std::string_view initialName) override {
    dialogNames.emplace_back(initialName);
    return Next();
  }
  std::string AskOpenPath(std::string_view initialName) override {
    dialogNames.emplace_back(initialName);
    return Next();
  }
  platform::SourceRelation RelationToSource(const std::string& path) override {
    if (path == sourceFile) return platform::SourceRelation::kIsSource;
    return path.starts_with(sourceDir) ? platform::SourceRelation::kOnSourceDrive
                                       : platform::SourceRelation::kUnrelated;
  }
  std::string SourceName() override { return sourceFile; }
  bool SelectDrive(int32_t index) override {
    selected.push_back(index);
    return index < driveCount;
  }
  int OpenVolume() override {
    ++opened;
    return openResult;
  }

  std::string Next() {
    if (paths.empty()) return {};
    std::string path = paths.front();
    paths.erase(paths.begin());
    return path;
  }

  std::vector<std::string> paths;  // the dialogs' answers in turn; empty: cancel
  std::vector<std::string> dialogNames;
  std::string sourceDir = "/source/";
  std::string sourceFile = "/images/card.img";
  int32_t driveCount = 13;
  std::vector<int32_t> selected;
  int opened = 0;
  int openResult = 1;
};

class FakeMessages : public Messages {
 public:
  MessageAnswer Show(std::string_view text, MessageButtons, MessageIcon icon,
                     MessageAnswer defaultAnswer) override {
    shown.emplace_back(text);
    icons.push_back(icon);
    defaults.push_back(defaultAnswer);
    return answer;
  }
  std::vector<std::string> shown;
  std::vector<MessageIcon> icons;
  std::vector<MessageAnswer> defaults;
  MessageAnswer answer = MessageAnswer::No;
};

class FolderIconShell : public ShellInfo {
 public:
  const ShellFileInfo& Lookup(std::string_view key, bool directory) override {
    return answer = {std::string(key), directory ? 3 : 7, {}};
  }
  ShellFileInfo answer;
};

class ResultsFileTest : public ::testing::Test {
 protected:
  // One folder per test: CTest may run them side by side.
  ResultsFileTest()
      : dir(fs::path(::testing::TempDir()) /
            (std::string("vellum-results-") +
             ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~ResultsFileTest() override { fs::remove_all(dir); }

  std::string PathOf(const char* name) const { return (dir / name).string(); }
  void WriteFile(const std::string& path, std::string_view bytes) const {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::string ReadFile(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // Loads `bytes` as a file into `list`.
  void Load(std::string_view bytes) {
    const std::string path = PathOf("in.txt");
    WriteFile(path, bytes);
    host.paths = {path};
    LoadResults(list, host, messages, &shell);
  }

  fs::path dir;
  FakeHost host;
  FakeMessages messages;
  FolderIconShell shell;
  ResultList list;
};

// The list after a FAT search, with a file, a folder and an exFAT chained file.
void FillFatSearch(ResultList& list) {
  list.SetClusterColumn(volume::kFat32);
  const char* rows[][6] = {
      {"README.TXT", "sdb1:/DOCS", "1234", "テキスト ドキュメント", "2013/03/10 12:00:00",
       "     345"},
      {"写真", "sdb1:/", "", "フォルダー", "2013/03/11 08:30:00", "      17"},
      {"big.iso", "sdb1:/", "900", "", "2013/03/12 00:00:00", "     999"},
  };
  const uint32_t words[] = {0, 1, 2};
  for (size_t r = 0; r < 3; ++r) {
    list.InsertRow(r, rows[r][0], 0);
    for (size_t c = 1; c < 6; ++c) list.SetCell(r, c, rows[r][c]);
    list.SetDataWord(r, words[r]);
  }
}

TEST_F(ResultsFileTest, TextIsLaidOutWithTabsAndPaddedDataWords) {
  FillFatSearch(list);
  const std::string text = FormatResultsText(list, 2);
  const std::string expectedStart =
      "2\r\n"
      "名前\t16384\t110\tフォルダ名\t16384\t210\tサイズ\t16385\t70\t種類\t16384\t110\t"
      "更新日時\t16384\t120\tクラスタ\t16385\t70\r\n"
      "README.TXT\tsdb1:/DOCS\t1234\tテキスト ドキュメント\t2013/03/10 12:00:00\t     345\t"
      "       0\r\n";
  EXPECT_EQ(text.substr(0, expectedStart.size()), expectedStart);
  EXPECT_TRUE(text.ends_with("\t     999\t       2\r\n"));
}

TEST_F(ResultsFileTest, SavedAndLoadedListIsTheSame) {
  FillFatSearch(list);
  list.AddScanColumns();  // as after an NTFS cluster scan: columns 6 and 7 too
  list.SetCell(2, 6, "  123456");
  list.SetCell(2, 7, "       3");
  host.paths = {PathOf("saved.txt")};
  SaveResults(list, 12, host, messages);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(host.dialogNames, std::vector<std::string>{"結果"});

  ResultList loaded;
  loaded.InsertRow(0, "stale row", 0);
  host.paths = {PathOf("saved.txt")};
  LoadResults(loaded, host, messages, &shell);
  EXPECT_EQ(host.selected, std::vector<int32_t>{12});
  EXPECT_EQ(host.opened, 1);
  ASSERT_EQ(loaded.ColumnCount(), 8u);
  for (size_t c = 0; c < 8; ++c) EXPECT_EQ(loaded.ColumnAt(c), list.ColumnAt(c));
  ASSERT_EQ(loaded.RowCount(), 3u);
  for (size_t r = 0; r < 3; ++r) {
    for (size_t c = 0; c < 8; ++c) EXPECT_EQ(loaded.Cell(r, c), list.Cell(r, c));
    EXPECT_EQ(loaded.DataWord(r), list.DataWord(r));
  }
  EXPECT_EQ(loaded.Icon(0), 7);
  EXPECT_EQ(loaded.Icon(1), 3);  // folders get the folder icon again
  EXPECT_EQ(loaded.FoundCountText(), "3");
}

TEST_F(ResultsFileTest, SavingAfterASortWritesTheSortedRowsWithTheirOwnDataWords) {
  FillFatSearch(list);
  list.OnColumnClick(2);  // sizes "", 900, 1234
  host.paths = {PathOf("sorted.txt")};
  SaveResults(list, 2, host, messages);
  const std::string text = ReadFile(PathOf("sorted.txt"));
  const size_t folder = text.find("写真\t");
  const size_t iso = text.find("big.iso\t");
  const size_t readme = text.find("README.TXT\t");
  ASSERT_NE(readme, std::string::npos);
  EXPECT_LT(folder, iso);
  EXPECT_LT(iso, readme);
  EXPECT_NE(text.find("      17\t       1\r\n"), std::string::npos);
  EXPECT_NE(text.find("     999\t       2\r\n"), std::string::npos);
}

TEST_F(ResultsFileTest, SavingAnEmptyListOpensNoDialog) {
  host.paths = {PathOf("never.txt")};
  SaveResults(list, 0, host, messages);
  EXPECT_EQ(messages.shown, std::vector<std::string>{std::string(kNothingToSave)});
  EXPECT_EQ(messages.icons[0], MessageIcon::Warning);
  EXPECT_TRUE(host.dialogNames.empty());
  EXPECT_FALSE(fs::exists(PathOf("never.txt")));
}

TEST_F(ResultsFileTest, SavingOnTheSourceDeviceAsksAndNoShowsTheDialogAgain) {
  FillFatSearch(list);
  host.sourceDir = dir.string();  // every path in dir counts as the source device
  host.paths = {PathOf("a.txt"), ""};
  SaveResults(list, 0, host, messages);
  EXPECT_EQ(messages.shown, std::vector<std::string>{std::string(kSaveOnSourceQuestion)});
  EXPECT_EQ(messages.defaults[0], MessageAnswer::No);
  EXPECT_EQ(host.dialogNames, (std::vector<std::string>{"結果", "結果"}));
  EXPECT_FALSE(fs::exists(PathOf("a.txt")));

  messages.answer = MessageAnswer::Yes;
  host.paths = {PathOf("a.txt")};
  SaveResults(list, 0, host, messages);
  EXPECT_TRUE(fs::exists(PathOf("a.txt")));
}

// The image being searched is never overwritten, whatever is answered: the
// refusal names both files and the dialog comes back.
TEST_F(ResultsFileTest, SavingOntoTheSourceItselfIsRefused) {
  FillFatSearch(list);
  host.sourceFile = PathOf("card.img");
  std::ofstream(host.sourceFile) << "image";
  host.paths = {host.sourceFile, ""};
  messages.answer = MessageAnswer::Yes;
  SaveResults(list, 0, host, messages);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], SaveOntoSourceMessage(host.sourceFile, host.sourceFile));
  EXPECT_NE(messages.shown[0].find(host.sourceFile), std::string::npos);
  EXPECT_EQ(host.dialogNames.size(), 2u);
  std::ifstream in(host.sourceFile);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "image");
}

TEST_F(ResultsFileTest, FilesThatCannotBeWrittenOrReadAreReported) {
  FillFatSearch(list);
  const size_t rows = list.RowCount();
  host.paths = {PathOf("no-such-dir/x.txt")};
  SaveResults(list, 0, host, messages);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_TRUE(messages.shown[0].starts_with(PathOf("no-such-dir/x.txt") + "\n"));

  host.paths = {PathOf("missing.txt")};
  LoadResults(list, host, messages, &shell);
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_TRUE(messages.shown[1].starts_with(PathOf("missing.txt")));
  EXPECT_EQ(list.RowCount(), rows);  // a file that cannot be read replaces nothing
  EXPECT_TRUE(list.HasUnsavedRows());

  host.paths = {dir.string()};  // a folder opens but cannot be read
  LoadResults(list, host, messages, &shell);
  EXPECT_EQ(messages.shown.back(), kResultsReadFailed);
  EXPECT_EQ(list.RowCount(), rows);
}

TEST_F(ResultsFileTest, DriveLineChecksEndTheLoadSilently) {
  const std::string rest = "名前\t16384\t110\r\nrow\t       0\r\n";
  for (const std::string& bad :
       {"19\n" + rest, "123\n" + rest, "x\n" + rest, "\n" + rest, "1 \n" + rest, std::string()}) {
    Load(bad);
    EXPECT_EQ(list.RowCount(), 0u) << bad;
    EXPECT_EQ(list.ColumnCount(), 5u) << bad;  // columns untouched
  }
  EXPECT_TRUE(host.selected.empty());
  EXPECT_TRUE(messages.shown.empty());

  host.driveCount = 12;  // entries 0..11: no entry 12
  Load("12\r\n名前\t16384\t110\r\nrow\t       0\r\n");
  EXPECT_EQ(host.selected, std::vector<int32_t>{12});
  EXPECT_EQ(host.opened, 0);
  EXPECT_EQ(list.RowCount(), 0u);

  host.driveCount = 13;
  Load("12\r\nname\t16384\t110\r\nrow\t       0\r\n");
  EXPECT_EQ(host.opened, 1);
  EXPECT_EQ(list.RowCount(), 1u);
}

TEST_F(ResultsFileTest, RowsShowEvenWhenTheVolumeCannotBeOpened) {
  host.openResult = 0;
  Load("0\nname\t16384\t110\tsize\t16385\t70\nrow\t12\t       1\n");
  ASSERT_EQ(list.RowCount(), 1u);
  EXPECT_EQ(list.Cell(0, 1), "12");
  EXPECT_EQ(list.ColumnAt(1).align, ColumnAlign::kRight);
  EXPECT_EQ(list.DataWord(0), 1u);
}

TEST_F(ResultsFileTest, CodePage932FileLoads) {
  std::string cp932;
  ASSERT_TRUE(
      platform::Utf8ToCp932("3\r\n名前\t16384\t110\tフォルダ名\t16384\t210\r\n"
                            "表.TXT\tC:\\ソフト\t       0\r\nｶﾅ\tC:\\\t       0\r\n",
                            cp932));
  ASSERT_FALSE(platform::IsValidUtf8(cp932));
  Load(cp932);
  ASSERT_EQ(list.RowCount(), 2u);
  EXPECT_EQ(list.ColumnAt(1).heading, "フォルダ名");
  EXPECT_EQ(list.Cell(0, 0), "表.TXT");  // 表 is 95 5C: its trail byte is '\'
  // A list saved on Windows: its folders take this system's root text and separator.
  EXPECT_EQ(list.Cell(0, 1), "C:/ソフト");
  EXPECT_EQ(list.Cell(1, 0), "ｶﾅ");
  // A byte pair without a mapping is replaced, not the rest of its line lost.
  Load(
      "3\r\nname\t16384\t110\r\n\x85\x40"
      "abc\t       0\r\n\x95\x5C\t       0\r\n");
  ASSERT_EQ(list.RowCount(), 2u);
  EXPECT_EQ(list.Cell(0, 0),
            "\xEF\xBF\xBD"
            "abc");
  EXPECT_EQ(list.Cell(1, 0), "表");
}

TEST_F(ResultsFileTest, LinesWithoutCellsAddNoRowAndShiftNothing) {
  Load(
      "0\nname\t16384\t110\tsize\t16385\t70\n"
      "a\t1\t       0\n"
      "\n"
      "no tab at all\n"
      "       1\n"
      "b\t2\t       1\r\n");
  ASSERT_EQ(list.RowCount(), 2u);
  EXPECT_EQ(list.Cell(1, 0), "b");
  EXPECT_EQ(list.Cell(1, 1), "2");
  EXPECT_EQ(list.DataWord(1), 1u);
  EXPECT_EQ(list.FoundCountText(), "2");
}

TEST_F(ResultsFileTest, HostileCellsAndNumbers) {
  Load(std::string("0\nname\t16384\t110\tsize\tright?\t-5\tlost\t1\n") +
       "a\tb\tc\td\t       0\n" +  // more cells than columns
       "\t\t 99999999999\n" +      // empty cells, an oversized data word
       "x\tjunk\n" +               // a data word that is no number
       "nul" + '\0' + "hidden\t9\t       1\n" + "tab-only\t\n");
  ASSERT_EQ(list.ColumnCount(), 2u);  // the incomplete third group makes no column
  EXPECT_EQ(list.ColumnAt(1), (Column{"size", ColumnAlign::kLeft, 0}));
  ASSERT_EQ(list.RowCount(), 4u);
  EXPECT_EQ(list.Cell(0, 1), "b");
  EXPECT_EQ(list.DataWord(0), 0u);
  EXPECT_EQ(list.DataWord(1), UINT32_MAX);
  EXPECT_EQ(list.DataWord(2), 0u);
  // A NUL ends the line's text: what follows it on that line is not read.
  EXPECT_EQ(list.Cell(3, 0), "tab-only");

  Load("0\n");  // no column line: no columns, no rows
  EXPECT_EQ(list.ColumnCount(), 0u);
  EXPECT_EQ(list.RowCount(), 0u);
}

TEST_F(ResultsFileTest, HugeCellsLoadWholeAndAreCutWhenSaved) {
  const std::string huge(4 << 20, 'a');
  Load("0\nname\t16384\t110\n" + huge + "\t       0\n");
  ASSERT_EQ(list.RowCount(), 1u);
  EXPECT_EQ(list.Cell(0, 0).size(), huge.size());
  EXPECT_EQ(FormatResultsText(list, 0).find(std::string(519, 'a') + "\t       0\r\n"),
            std::string("0\r\nname\t16384\t110\r\n").size());
}

TEST(CutToCp932Length, CutsAtCharacterBoundariesCountingAsCodePage932) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "写";  // 2 bytes each in code page 932
  EXPECT_EQ(CutToCp932Length(text, 519).size(), 259u * 3);
  const std::string ascii = std::string(518, 'a') + "写";
  EXPECT_EQ(CutToCp932Length(ascii, 519), std::string(518, 'a'));
  std::string kana;
  for (int i = 0; i < 600; ++i) kana += "ｱ";  // half-width: 1 byte each
  EXPECT_EQ(CutToCp932Length(kana, 519).size(), 519u * 3);
  EXPECT_TRUE(platform::IsValidUtf8(CutToCp932Length(text, 100)));
}

// A long list is written in pieces, each ending a line, that make the same
// bytes as the whole text; on Windows a name without a code page 932 form in
// the last piece still makes the whole file UTF-8.
TEST_F(ResultsFileTest, ALongListIsWrittenInPiecesThatMakeTheSameBytes) {
  list.SetClusterColumn(volume::kFat32);
  for (size_t r = 0; r < 12000; ++r) {
    list.InsertRow(r, "写真 " + std::to_string(r) + ".jpg", 0);
    list.SetCell(r, 1, "sdb1:/DCIM/" + std::string(60, 'f'));
    list.SetDataWord(r, static_cast<uint32_t>(r));
  }
  for (const char* last : {"last.jpg", "\xF0\x9F\x93\xB7.jpg"}) {
    list.SetCell(11999, 0, last);
    for (platform::PathStyle style : {platform::PathStyle::kPosix, platform::PathStyle::kWindows}) {
      std::vector<std::string> pieces;
      WriteResultsFileBytes(style, list, 3, [&](std::string_view p) { pieces.emplace_back(p); });
      ASSERT_GT(pieces.size(), 1u);
      std::string whole;
      for (const std::string& p : pieces) whole += p;
      for (size_t i = 1; i < pieces.size(); ++i)
        EXPECT_TRUE(pieces[i - 1].ends_with("\r\n") || pieces[i - 1] == "\xEF\xBB\xBF");
      EXPECT_EQ(whole, ResultsFileBytes(style, FormatResultsText(list, 3)));
    }
  }
}

}  // namespace
}  // namespace vellum::app

namespace vellum::app {
namespace {

// A list saved by either build restores the same files on the other: the
// root text's end and the separators become the loading system's. Windows
// names hold neither '/' nor '\', Linux names may hold '\' (and ":\").
TEST(FolderCellFor, TranslatesListsOfTheOtherSystem) {
  using platform::PathStyle;
  const PathStyle windows = PathStyle::kWindows, posix = PathStyle::kPosix;
  EXPECT_EQ(FolderCellFor(windows, "fat16.img:/old-project/$HOTOS"), "fat16.img:\\old-project\\$HOTOS");
  EXPECT_EQ(FolderCellFor(windows, "card.img#2:/"), "card.img#2:\\");
  EXPECT_EQ(FolderCellFor(posix, "fat16.img:\\old-project\\$HOTOS"), "fat16.img:/old-project/$HOTOS");
  EXPECT_EQ(FolderCellFor(posix, "C:\\"), "C:/");
  // What the Windows build wrote before its folders used '\' throughout.
  EXPECT_EQ(FolderCellFor(windows, "fat16.img:\\old-project/$HOTOS"), "fat16.img:\\old-project\\$HOTOS");
  EXPECT_EQ(FolderCellFor(posix, "fat16.img:\\old-project/$HOTOS"), "fat16.img:/old-project/$HOTOS");
  // A Linux list stays byte for byte on Linux, a '\' in a name included.
  EXPECT_EQ(FolderCellFor(posix, "a:\\b.img:/odd\\name/x"), "a:\\b.img:/odd\\name/x");
  EXPECT_EQ(FolderCellFor(windows, "a:\\b.img:/x"), "a:\\b.img:\\x");
  // Cells without a root text (a hand-made list) are left alone.
  EXPECT_EQ(FolderCellFor(windows, "docs/x"), "docs/x");
  EXPECT_EQ(FolderCellFor(posix, ""), "");
}

TEST_F(ResultsFileTest, AWindowsListLoadsWithThisSystemsFolders) {
  Load("0\r\nname\t16384\t110\tfolder\t16384\t110\r\n"
       "A.TXT\tfat16.img:\\old-project\\$HOTOS\t       0\r\n"
       "B.TXT\tfat16.img:\\\t       0\r\n");
  ASSERT_EQ(list.RowCount(), 2u);
  EXPECT_EQ(list.Cell(0, 1), "fat16.img:/old-project/$HOTOS");
  EXPECT_EQ(list.Cell(1, 1), "fat16.img:/");
}

// On Windows a results file is written in code page 932, which Windows'
// own tools read; a name code page 932 cannot hold keeps the file UTF-8,
// marked so, rather than turning into '?'. Both load back the same.
TEST(ResultsFileBytes, CodePage932OnWindowsWhereEveryCharacterHasAForm) {
  const std::string text = "0\r\n名前\t16384\t110\r\n表.TXT\t       0\r\n";
  EXPECT_EQ(ResultsFileBytes(platform::PathStyle::kPosix, text), text);
  const std::string cp932 = ResultsFileBytes(platform::PathStyle::kWindows, text);
  EXPECT_FALSE(platform::IsValidUtf8(cp932));
  EXPECT_NE(cp932.find("\x95\x5C.TXT"), std::string::npos);  // 表
  const std::string emoji = "0\r\nname\t16384\t110\r\n\xF0\x9F\x93\xB7.jpg\t       0\r\n";
  EXPECT_EQ(ResultsFileBytes(platform::PathStyle::kWindows, emoji), "\xEF\xBB\xBF" + emoji);
  for (const std::string& bytes : {cp932, ResultsFileBytes(platform::PathStyle::kWindows, emoji)}) {
    ResultsFileLines lines;
    lines.Assign(bytes);
    std::string line;
    ASSERT_TRUE(lines.Next(line));
    EXPECT_EQ(line, "0");
    ASSERT_TRUE(lines.Next(line) && lines.Next(line));
    EXPECT_TRUE(line == "表.TXT\t       0" || line == "\xF0\x9F\x93\xB7.jpg\t       0") << line;
  }
}

// A file is read line by line, not whole: lines that cross the reader's
// pieces come back whole, and what decides the file's encoding (a Shift_JIS
// name) or refuses it (a NUL byte) counts wherever in the file it stands.
TEST(ResultsFileLinesRead, ALongFileIsReadWholeLineByLine) {
  const fs::path path = fs::path(::testing::TempDir()) / "vellum-long-results.txt";
  const std::string columns = "name\t16384\t110\tfolder\t16384\t210\tsize\t16385\t70";
  std::string body = "0\r\n" + columns + "\r\n";
  for (int i = 0; i < 40000; ++i) body += "file-" + std::to_string(i) + std::string(i % 97, 'x') + ".txt\t       0\r\n";
  const auto read = [&](const std::string& bytes, std::vector<std::string>& lines) {
    std::ofstream(path, std::ios::binary) << bytes;
    ResultsFileLines reader;
    std::string error;
    EXPECT_EQ(reader.Read(path.string(), error), ResultsFileLines::ReadResult::kOk) << error;
    for (std::string line; reader.Next(line);) lines.push_back(line);
    return reader.Problem("list.txt");
  };
  std::vector<std::string> lines;
  EXPECT_EQ(read(body, lines), "");
  ASSERT_EQ(lines.size(), 40002u);
  EXPECT_EQ(lines[1], columns);
  EXPECT_EQ(lines[40001], "file-39999" + std::string(39999 % 97, 'x') + ".txt\t       0");

  lines.clear();
  EXPECT_EQ(read(body + "\x95\x5C.TXT\t       0\r\n", lines), "");  // 表 in Shift_JIS, after 2 MB of ASCII
  ASSERT_EQ(lines.size(), 40003u);
  EXPECT_EQ(lines[1], columns);
  EXPECT_EQ(lines.back(), "表.TXT\t       0");

  lines.clear();
  EXPECT_NE(read(body + std::string("x\0y\t       0\r\n", 14), lines).find("40003 行目に NUL"), std::string::npos);
  fs::remove(path);
}

// A name from the disk with a TAB, CR, LF or ESC keeps its row: written as
// //09, //0D, //0A, //1B and read back as it was. Cells written without
// control characters (a folder with '/' in it) load as they always have.
TEST_F(ResultsFileTest, ControlCharactersInNamesAreEscapedAndComeBack) {
  list.ReplaceColumns({{"名前", ColumnAlign::kLeft, 110}, {"フォルダ名", ColumnAlign::kLeft, 210},
                       {"サイズ", ColumnAlign::kRight, 70}});
  const std::string fake = "evil\tcard.img:/\t1\t       0\r\nx\x1B[2J";
  list.InsertRow(0, fake, 0);
  list.SetCell(0, 1, "card.img:/a\nb/c");
  list.SetCell(0, 2, "5");
  const std::string text = FormatResultsText(list, 0);
  EXPECT_NE(text.find("evil//09card.img:///091//09       0//0D//0Ax//1B[2J\tcard.img:/a//0Ab/c\t5\t"),
            std::string::npos)
      << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
  ResultList loaded;
  ResultsFileLines lines;
  lines.Assign(text);
  ASSERT_EQ(ApplyResultsFile(lines, loaded, host, nullptr), 1);
  EXPECT_EQ(loaded.Cell(0, 0), fake);
  EXPECT_EQ(loaded.Cell(0, 1), "card.img:/a\nb/c");
  EXPECT_EQ(UnescapeNameCell("card.img:/DOCS/50%//zz//41"), "card.img:/DOCS/50%//zz//41");
  EXPECT_EQ(EscapeNameCell("写真.jpg"), "写真.jpg");
}

// What cannot be a list is refused by name before anything is made: a file
// without the drive and column lines, one saved as UTF-16, one with a NUL.
TEST(ResultsFileProblem, FilesThatAreNoListAreNamed) {
  const auto problem = [](std::string bytes) {
    ResultsFileLines lines;
    lines.Assign(std::move(bytes));
    return lines.Problem("list.txt");
  };
  const std::string columns = "名前\t16384\t110\tフォルダ名\t16384\t210\tサイズ\t16385\t70\r\n";
  EXPECT_EQ(problem("2\r\n" + columns + "a\tb\t1\t       0\r\n"), "");
  EXPECT_EQ(problem("0\n" + columns), "");
  const std::string notList = "list.txt は検索結果ファイルではありません (1 行目にドライブの番号、2 行目に列の見出しがありません)。";
  EXPECT_EQ(problem("# /etc/services\ntcpmux\t1/tcp\n"), notList);
  EXPECT_EQ(problem("2\r\ntcpmux 1/tcp\r\n"), notList);
  EXPECT_EQ(problem("2\r\na\tb\tc\td\te\tf\tg\th\ti\r\n"), notList);  // the numbers are no numbers
  EXPECT_EQ(problem(""), notList);
  EXPECT_NE(problem(std::string("\xFF\xFE" "2\0\r\0\n\0", 8)).find("UTF-16 (リトルエンディアン) で保存されています"),
            std::string::npos);
  EXPECT_NE(problem(std::string("\0" "2\0\r\0\n", 6)).find("UTF-16 (ビッグエンディアン)"), std::string::npos);
  EXPECT_EQ(problem("2\r\n" + columns + "a\tb\t1\t0\r\nx" + std::string(1, '\0') + "y\t1\r\n"),
            "list.txt の 4 行目に NUL バイトがあります。検索結果ファイルではないか、壊れています。");
}

}  // namespace
}  // namespace vellum::app
