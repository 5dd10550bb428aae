// Streams and the Recycle Bin's original paths as the command line gives
// them: the JSON and CSV fields, the table, a results file that keeps a
// stream's row and restores it, and restore --original-names, on NTFS and
// on the bin Windows keeps on a FAT32 fixed drive.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/restore_cli.h"
#include "cli/search_cli.h"
#include "support/cli_call.h"
#include "support/run_command.h"

namespace vellum::cli {
namespace {

namespace fs = std::filesystem;
using testing::Call;

std::string Image() { return std::string(VELLUM_TEST_IMAGES) + "/ntfs-streams.img"; }

struct Scratch {
  fs::path dir = fs::temp_directory_path() / ("vellum-streams-cli-" + std::to_string(::getpid()));
  Scratch() { fs::create_directories(dir); }
  ~Scratch() { fs::remove_all(dir); }
  std::string operator()(const std::string& name) const { return (dir / name).string(); }
};

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::map<std::string, nlohmann::json> JsonRows() {
  const auto run = Call(RunSearch, {Image(), "--no-free-scan", "--format", "json"});
  EXPECT_EQ(run.status, 0) << run.err;
  std::map<std::string, nlohmann::json> rows;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    auto j = nlohmann::json::parse(line);
    rows[j["name"].get<std::string>()] = j;
  }
  return rows;
}

TEST(StreamsCli, JsonAndCsvNameTheStreamAndTheOriginalPath) {
  const auto rows = JsonRows();
  const auto& summary = rows.at("Report.docx:summary");
  EXPECT_EQ(summary["stream"], "summary");
  EXPECT_EQ(summary["size"], 27000);
  EXPECT_EQ(summary["record"], 64);
  EXPECT_EQ(summary["mime"], "application/octet-stream");
  EXPECT_TRUE(rows.at("Report.docx")["stream"].is_null());
  const auto& bin = rows.at("$RABC123.docx");
  EXPECT_EQ(bin["original_path"], "C:\\Users\\owner\\Documents\\report.docx");
  EXPECT_TRUE(bin["deleted_time"].get<std::string>().starts_with("2024-05-"));
  EXPECT_EQ(rows.at("$IABC123.docx")["type"], "ごみ箱の情報ファイル");
  EXPECT_EQ(rows.at("$IABC123.docx")["mime"], "application/octet-stream");
  EXPECT_TRUE(rows.at("Report.docx")["original_path"].is_null());

  const auto csv = Call(RunSearch, {Image(), "--no-free-scan", "--format", "csv"});
  EXPECT_NE(csv.out.find(",same_as,check,damaged_from,stream,original_path,deleted_time,unreadable_bytes\r\n"), std::string::npos);
  EXPECT_NE(csv.out.find(",summary,,,\r\n"), std::string::npos);
  EXPECT_NE(csv.out.find(",C:\\Users\\owner\\Downloads\\manual.pdf,2024-02-02T"), std::string::npos);
}

TEST(StreamsCli, TheTableShowsTheOriginalPathInTheStateColumn) {
  ::setenv("COLUMNS", "400", 1);
  const auto run = Call(RunSearch, {Image(), "--no-free-scan", "--format", "table"});
  ::unsetenv("COLUMNS");
  std::istringstream lines(run.out);
  bool seen = false;
  for (std::string line; std::getline(lines, line);)
    if (line.find("$RDEF456.txt") != std::string::npos)
      seen = line.find("元の場所 D:\\Archive\\2014\\notes.txt (削除 ") != std::string::npos;
  EXPECT_TRUE(seen) << run.out;
}

// The row of a stream, saved and loaded again, restores that stream alone.
TEST(StreamsCli, AResultsFileKeepsAStreamRowAndRestoresIt) {
  Scratch scratch;
  const auto search = Call(RunSearch, {Image(), "--no-free-scan", "-o", scratch("found.tsv")});
  ASSERT_EQ(search.status, 0) << search.err;
  std::ifstream file(scratch("found.tsv"));
  size_t row = 0, wanted = 0;
  for (std::string line; std::getline(file, line); ++row)
    if (line.starts_with("Report.docx:tag\t")) wanted = row - 1;  // the drive and column lines come first
  ASSERT_GT(wanted, 0u);
  const auto restore = Call(RunRestore, {Image(), "--results", scratch("found.tsv"), "--rows",
                                         std::to_string(wanted), "--to", scratch("out")});
  ASSERT_EQ(restore.status, 0) << restore.err;
  EXPECT_EQ(ReadWhole(scratch("out/Report.docx:tag")), testing::RunCommand("icat '" + Image() + "' 64-128-5"));
  EXPECT_FALSE(fs::exists(scratch("out/Report.docx")));
}

TEST(StreamsCli, OriginalNamesRestoresTheBinUnderItsOldFolders) {
  Scratch scratch;
  ASSERT_EQ(Call(RunSearch, {Image(), "--no-free-scan", "-o", scratch("found.tsv")}).status, 0);
  const auto restore = Call(RunRestore, {Image(), "--results", scratch("found.tsv"), "--original-names", "--to",
                                         scratch("out"), "--report", scratch("report.tsv")});
  ASSERT_EQ(restore.status, 0) << restore.err;
  EXPECT_EQ(ReadWhole(scratch("out/Users/owner/Documents/report.docx")),
            testing::RunCommand("icat '" + Image() + "' 73-128-2"));
  EXPECT_TRUE(fs::exists(scratch("out/Users/owner/Projects/old-project/figure.dat")));
  // Without a list there is no index to read the names from.
  const auto usage = Call(RunRestore, {Image(), "--original-names", "--folder", "65", "--to", scratch("walk")});
  EXPECT_EQ(usage.status, 2);
  EXPECT_NE(usage.err.find("--original-names"), std::string::npos);
}

// The emptied bin of a FAT32 drive (mkfs.fat and mtools): every $R and $I
// row carries what its index says, and --original-names puts the files
// and the folder back under their old paths, byte for byte as icat gives them.
std::string FatBinImage() { return std::string(VELLUM_TEST_IMAGES) + "/fat32-bin.img"; }

TEST(StreamsCli, TheBinOfAFatDriveNamesEachFileItsOriginalPath) {
  const auto run = Call(RunSearch, {FatBinImage(), "--no-free-scan", "--format", "json"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::map<std::string, nlohmann::json> rows;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    auto j = nlohmann::json::parse(line);
    rows[j["name"].get<std::string>()] = j;
  }
  ASSERT_TRUE(rows.count("$RABC123.docx")) << run.out;
  EXPECT_EQ(rows.at("$RABC123.docx")["original_path"], "C:\\Users\\owner\\Documents\\report.docx");
  EXPECT_EQ(rows.at("$RDEF456.TXT")["original_path"], "D:\\Archive\\2014\\notes.txt");
  EXPECT_TRUE(rows.at("$RDEF456.TXT")["deleted_time"].get<std::string>().starts_with("2015-03-0"));
  EXPECT_EQ(rows.at("$RFLD789")["original_path"], "C:\\Users\\owner\\Projects\\old-project");
  EXPECT_EQ(rows.at("$IGONE00.PDF")["original_path"], "C:\\Users\\owner\\Downloads\\manual.pdf");
  EXPECT_EQ(rows.at("$IGONE00.PDF")["type"], "ごみ箱の情報ファイル");
  // Its own extension's type, in the words of the installed type database.
  EXPECT_NE(rows.at("$RABC123.docx")["type"].get<std::string>().find("Word"), std::string::npos);
  EXPECT_TRUE(rows.at("$RAFT.TXT")["original_path"].is_null());  // draft.txt inside the folder
}

TEST(StreamsCli, OriginalNamesRestoresTheBinOfAFatDrive) {
  Scratch scratch;
  ASSERT_EQ(Call(RunSearch, {FatBinImage(), "--no-free-scan", "-o", scratch("found.tsv")}).status, 0);
  const auto restore = Call(RunRestore, {FatBinImage(), "--results", scratch("found.tsv"), "--original-names",
                                         "--to", scratch("out")});
  ASSERT_EQ(restore.status, 0) << restore.err << restore.out;
  const std::string image = "icat '" + FatBinImage() + "' ";
  EXPECT_TRUE(ReadWhole(scratch("out/Users/owner/Documents/report.docx")) == testing::RunCommand(image + "38"));
  EXPECT_TRUE(ReadWhole(scratch("out/Archive/2014/notes.txt")) == testing::RunCommand(image + "41"));
  // figure.dat had a short name alone, whose first letter the deletion took.
  EXPECT_TRUE(ReadWhole(scratch("out/Users/owner/Projects/old-project/$IGURE.DAT")) ==
              testing::RunCommand(image + "1014"));
  // The index files keep their names; the files they describe do not.
  const std::string bin = "out/$RECYCLE.BIN/S-1-5-21-1111111111-2222222222-3333333333-1001/";
  EXPECT_TRUE(fs::exists(scratch(bin + "$IABC123.docx")));
  EXPECT_FALSE(fs::exists(scratch(bin + "$RABC123.docx")));
  // The files listed inside the bin's folder go where the folder goes, once.
  EXPECT_FALSE(fs::exists(scratch(bin + "$RFLD789")));
  EXPECT_NE(restore.out.find("ファイル: 8 件"), std::string::npos) << restore.out;
}

}  // namespace
}  // namespace vellum::cli
