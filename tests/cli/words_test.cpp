// What the command line says in words of its own: the rest of an
// interrupted scan, the table's cut cells and the restore's headline.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/restore_command.h"
#include "cli/args.h"
#include "cli/listing_format.h"
#include "cli/scan_resume.h"
#include "volume/scan_state.h"

namespace vellum::cli {
namespace {

ScanCommandLine Line(std::string source, std::string output) {
  ScanCommandLine line;
  line.command = "full-scan";
  line.source = std::move(source);
  line.options = {"--filter", "MY FILE", "--yes"};
  line.outputPath = std::move(output);
  return line;
}

TEST(ScanResume, TheRestGoesToAFileOfItsOwnAndEveryWordSurvivesTheShell) {
  EXPECT_EQ(RestOutputPath("found.tsv"), "found-rest.tsv");
  EXPECT_EQ(RestOutputPath("a/b.c.tsv"), "a/b.c-rest.tsv");
  EXPECT_EQ(RestOutputPath("run.v2/found"), "run.v2/found-rest");
  EXPECT_EQ(RestOutputPath(".found"), ".found-rest");
  EXPECT_EQ(ResumeCommand(Line("/mnt/it's here.img#2", "out dir/found.tsv"), 100, 130555),
            "vellum-cli full-scan '/mnt/it'\\''s here.img#2' --filter 'MY FILE' --yes --range 100-130555 "
            "-o 'out dir/found-rest.tsv'");
  // Standard output stays standard output.
  EXPECT_EQ(ResumeCommand(Line("card.img", "-"), 2, 9), "vellum-cli full-scan card.img --filter 'MY FILE' --yes --range 2-9");
}

TEST(ScanResume, TheTextNamesTheLastClusterFinishedAndWhatIsLeft) {
  const std::string some = InterruptedScanText(Line("card.img", "found.tsv"), 2, 5000, 1215);
  EXPECT_NE(some.find("クラスタ 1215 までスキャンしました。"), std::string::npos) << some;
  EXPECT_NE(some.find("見つかったものは found.tsv に書き出しました。"), std::string::npos) << some;
  EXPECT_NE(some.find("--range 1216-5000 -o found-rest.tsv"), std::string::npos) << some;
  // Stopped before the first step was done: the whole range is left.
  const std::string none = InterruptedScanText(Line("card.img", ""), 0, 5000, std::nullopt);
  EXPECT_NE(none.find("スキャンを終えたクラスタはありません。"), std::string::npos) << none;
  EXPECT_NE(none.find("--range 0-5000"), std::string::npos) << none;
  // Nothing is left after the last cluster.
  const std::string all = InterruptedScanText(Line("card.img", ""), 2, 5000, 5000);
  EXPECT_EQ(all.find("--range"), std::string::npos) << all;
}

app::ResultList ListOf(const std::vector<std::pair<std::string, std::string>>& rows) {
  app::ResultList list;
  list.SetClusterColumn(volume::kFat32);
  for (const auto& [name, folder] : rows) {
    const size_t i = list.RowCount();
    list.InsertRow(i, name, 0);
    list.SetCell(i, 1, folder);
    list.SetCell(i, 2, "1234");
  }
  return list;
}

// A long listing goes out in pieces of about a megabyte: every piece ends a
// line, and together they hold every row once, in order.
TEST(ListingPieces, JsonAndCsvGoOutInWholeLinesAndLoseNoRow) {
  std::vector<std::pair<std::string, std::string>> rows;
  for (int i = 0; i < 6000; ++i) rows.emplace_back("file " + std::to_string(i) + std::string(300, 'x') + ".jpg", "card.img:/DCIM");
  const app::ResultList list = ListOf(rows);
  for (const bool json : {true, false}) {
    std::vector<std::string> pieces;
    const auto keep = [&pieces](std::string_view piece) { pieces.emplace_back(piece); };
    if (json) WriteJsonLines(list, nullptr, nullptr, keep);
    else WriteCsv(list, nullptr, nullptr, keep);
    ASSERT_GE(pieces.size(), 2u) << "json " << json;
    std::string all;
    for (const std::string& piece : pieces) {
      EXPECT_TRUE(piece.empty() || piece.back() == '\n') << "json " << json;
      all += piece;
    }
    std::istringstream lines(all);
    std::string line;
    if (!json) std::getline(lines, line);  // the heading
    int row = 0;
    while (std::getline(lines, line)) {
      const std::string starts = json ? "{\"row\":" + std::to_string(row + 1) + "," : std::to_string(row + 1) + ",";
      ASSERT_EQ(line.substr(0, starts.size()), starts) << "json " << json;
      ++row;
    }
    EXPECT_EQ(row, 6000) << "json " << json;
  }
}

// The volume once above the rows; a cut cell keeps its start and its end,
// so a name keeps its extension; wide characters count two columns.
TEST(ListingTable, TheVolumeIsNamedOnceAndCellsAreCutInTheMiddle) {
  const app::ResultList list = ListOf({{"A very long name of a holiday picture.jpg", "card.img:/DCIM/100CANON"},
                                       {"写真の名前がとても長いファイル.jpg", "card.img:/"}});
  const std::string wide = FormatTable(list, 200);
  EXPECT_EQ(wide.substr(0, wide.find('\n')), "ボリューム card.img:/");
  EXPECT_NE(wide.find(" /DCIM/100CANON "), std::string::npos) << wide;
  EXPECT_EQ(wide.find("card.img", wide.find('\n')), std::string::npos) << wide;
  // The name is the last to give way: at 60 columns the other columns do.
  const std::string sixty = FormatTable(list, 60);
  EXPECT_NE(sixty.find(" A very long name of a holiday picture.jpg"), std::string::npos) << sixty;
  const std::string narrow = FormatTable(list, 30);
  EXPECT_NE(narrow.find(" A very~e.jpg "), std::string::npos) << narrow;
  EXPECT_NE(narrow.find(" 写真の~.jpg "), std::string::npos) << narrow;  // a wide character never half shown
  // Rows of two volumes keep their whole folders.
  const std::string mixed = FormatTable(ListOf({{"a.txt", "card.img:/"}, {"b.txt", "disk.img#2:/"}}), 200);
  EXPECT_EQ(mixed.find("ボリューム"), std::string::npos) << mixed;
  EXPECT_NE(mixed.find("disk.img#2:/"), std::string::npos) << mixed;
}

// A name or folder from the disk never reaches the terminal raw: ESC, TAB
// and line breaks are shown, not sent.
TEST(ListingTable, ControlCharactersInNamesAreShownNotSent) {
  const std::string table =
      FormatTable(ListOf({{"evil\x1B]0;owned\x07\x1B[2J.jpg", "card.img:/a\tb"}, {"two\nlines.txt", "card.img:/"}}), 200);
  EXPECT_EQ(table.find('\x1B'), std::string::npos) << table;
  EXPECT_EQ(table.find('\x07'), std::string::npos) << table;
  EXPECT_EQ(table.find('\t'), std::string::npos) << table;
  EXPECT_NE(table.find("evil^[]0;owned^G^[[2J.jpg"), std::string::npos) << table;
  EXPECT_NE(table.find("/a\\tb"), std::string::npos) << table;
  EXPECT_NE(table.find("two\\nlines.txt"), std::string::npos) << table;
}

TEST(RestoreHeadline, RestoredHeadsOnlyASummaryInWhichSomethingWas) {
  app::RestoreSummary summary;
  EXPECT_TRUE(app::SummaryText(summary).starts_with(app::kNothingToRestoreHeadline));
  summary.outcomes.Failed("out/a.txt", "書き込みに失敗 (No space left on device)");
  const std::string failed = app::SummaryText(summary);
  EXPECT_TRUE(failed.starts_with(app::kNothingRestoredHeadline)) << failed;
  EXPECT_EQ(failed.find("復元しました。"), std::string::npos);
  summary.outcomes.Restored("out/b.txt", false);
  EXPECT_TRUE(app::SummaryText(summary).starts_with("復元しました。"));
  summary.cancelled = true;
  EXPECT_TRUE(app::SummaryText(summary).starts_with("復元を中止しました。"));
}

// The manual page documents every option of every command, as groff writes them.
TEST(ManualPage, NamesEveryOptionOfEveryCommand) {
  std::ifstream in(std::string(VELLUM_TEST_DATA) + "/../../docs/man/vellum-cli.1");
  ASSERT_TRUE(in);
  std::stringstream page;
  page << in.rdbuf();
  for (const CommandLine& command : Commands()) {
    EXPECT_NE(page.str().find(".B vellum-cli " + command.name), std::string::npos) << command.name;
    for (const OptionInfo& option : command.options) {
      std::string groff;
      for (const char c : option.name) groff += c == '-' ? std::string("\\-") : std::string(1, c);
      EXPECT_NE(page.str().find(groff), std::string::npos) << command.name << " " << option.name;
    }
  }
  for (const char* status : {".B 0\n", ".B 1\n", ".B 2\n", ".B 3\n", ".B 130\n"})
    EXPECT_NE(page.str().find(status), std::string::npos) << status;
}

}  // namespace
}  // namespace vellum::cli
