#include "cli/search_cli.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/results_file.h"

namespace vellum::cli {
namespace {

namespace fs = std::filesystem;

std::string Image(const char* name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }

struct CliRun {
  int status = -1;
  std::string out, err;
};

CliRun Search(std::vector<std::string> args) {
  std::ostringstream out, err;
  CliRun r;
  r.status = RunSearch(args, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

class TempDir {
 public:
  TempDir() : path_(fs::temp_directory_path() / ("vellum-search-" + std::to_string(::getpid()))) {
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

TEST(SearchCli, WrongInputIsReportedWithStatusOne) {
  TempDir dir;
  std::ofstream(dir.File("text.img")) << std::string(8192, 'v');
  {
    std::ifstream in(Image("fat16.img"), std::ios::binary);
    std::string head(60000, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    std::ofstream(dir.File("cut.img"), std::ios::binary) << head;
  }
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{dir.File("missing.img")}, "見つかりません"},
      {{dir.File("")}, "フォルダです"},
      {{dir.File("text.img")}, "NTFS 以外のドライブは検索できません"},
      {{dir.File("cut.img")}, "壊れているため"},
      {{Image("fat12.img"), "--filter", "*.txt"}, "ワイルドカード '*' は使えません"},
      // Refused before any open: opening a pipe waits for a writer.
      {{dir.File("pipe")}, "名前付きパイプ (FIFO) です"},
      {{"/dev/null"}, "キャラクタデバイスです"},
  };
  ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
  // Should the search open the pipe after all, a writer comes and goes, so
  // that the test fails instead of waiting for good.
  std::atomic<bool> finished{false};
  std::thread writer([&] {
    for (int i = 0; i < 100 && !finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (const int fd = ::open(dir.File("pipe").c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) ::close(fd);
  });
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    const CliRun r = Search(c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
  finished = true;
  writer.join();
  EXPECT_EQ(Search({Image("fat12.img"), "--bogus"}).status, 2);
  EXPECT_EQ(Search({Image("fat12.img"), "--range", "9-x"}).status, 2);
}

// A range the volume does not have is bad usage, and the message gives the
// one it has; a partition the disk does not have lists those it has.
TEST(SearchCli, UsageErrorsGiveTheValidValues) {
  for (const char* range : {"0-10", "2-999999", "10-9"}) {
    SCOPED_TRACE(range);
    const CliRun r = Search({Image("fat16.img"), "--free-scan", "--range", range});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--range には 2-"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
  for (const std::vector<std::string>& args : {std::vector<std::string>{Image("disk-mbr.img"), "--partition", "9"},
                                               std::vector<std::string>{Image("disk-mbr.img")}}) {
    const CliRun partition = Search(args);
    EXPECT_EQ(partition.status, 2);
    EXPECT_NE(partition.err.find("disk-mbr.img#2:/"), std::string::npos) << partition.err;
  }
}

TEST(SearchCli, WritesAResultsFileThatLoadsBackUnchanged) {
  TempDir dir;
  const std::string out = dir.File("found.txt");
  const CliRun r = Search({Image("fat32-512.img"), "--zero-size", "-o", out});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("空きクラスタをスキャンしますか。"), std::string::npos);

  app::ResultsFileLines lines;
  std::string error;
  ASSERT_EQ(lines.Read(out, error), app::ResultsFileLines::ReadResult::kOk) << error;
  std::string line;
  ASSERT_TRUE(lines.Next(line));
  EXPECT_EQ(line, "0");
  ASSERT_TRUE(lines.Next(line));
  EXPECT_EQ(app::ParseColumnLine(line).size(), 6u);
  size_t rows = 0, folders = 0;
  while (lines.Next(line)) {
    if (line.empty()) continue;
    app::RowLine row;
    ASSERT_TRUE(app::ParseRowLine(line, row)) << line;
    ASSERT_EQ(row.cells.size(), 6u);
    EXPECT_EQ(row.cells[1].substr(0, 15), "fat32-512.img:/");
    folders += row.dataWord & 1;
    ++rows;
  }
  EXPECT_GT(rows, 10u);
  EXPECT_GE(folders, 2u);  // old-project and its photos folder
}

TEST(SearchCli, APartitionOfAWholeDiskIsSearchedThroughItsOwnRoot) {
  const CliRun r = Search({Image("disk-mbr.img"), "--partition", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, 3), "1\r\n");  // the second entry of the source's drive table
  EXPECT_NE(r.out.find("$ELETED.TXT\tdisk-mbr.img#2:/\t1234\t"), std::string::npos);
}

TEST(SearchCli, NothingFoundStillWritesTheHeaderAndSucceeds) {
  const CliRun r = Search({Image("fat12.img"), "--filter", "no such name"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("ファイルは１件も見つかりませんでした。"), std::string::npos);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
}

// The plain exFAT walk leaves live folders alone and says how to reach them;
// the thorough search needs no such word, and FAT gets none either.
TEST(SearchCli, AnExfatSearchNamesTheThoroughSearch) {
  const std::string hint = "--thorough を指定すると、削除されていないフォルダの中も検索します。";
  EXPECT_NE(Search({Image("exfat-sets.img"), "--no-free-scan"}).err.find(hint), std::string::npos);
  const CliRun thorough = Search({Image("exfat-sets.img"), "--no-free-scan", "--thorough"});
  EXPECT_EQ(thorough.status, 0) << thorough.err;
  EXPECT_EQ(thorough.err.find(hint), std::string::npos);
  EXPECT_EQ(Search({Image("fat12.img"), "--no-free-scan"}).err.find(hint), std::string::npos);
}

// The plain walk reads only the deleted album's first cluster, where a long
// name is cut: one line on stderr, and the listing is what it always was.
// Nothing cut, no line.
TEST(SearchCli, StructuresCutShortAreCountedInOneLine) {
  const CliRun plain = Search({Image("fat32-thorough.img"), "--no-free-scan"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  const std::string line = "vellum-cli: ディスク上の構造 1 個が途中で切れていたため、そこで読むのをやめました。\n";
  EXPECT_NE(plain.err.find(line), std::string::npos) << plain.err;
  EXPECT_EQ(plain.out.find("途中で切れて"), std::string::npos);
  const CliRun thorough = Search({Image("fat32-thorough.img"), "--no-free-scan", "--thorough"});
  ASSERT_EQ(thorough.status, 0) << thorough.err;
  EXPECT_EQ(thorough.err.find("途中で切れて"), std::string::npos);
}

}  // namespace
}  // namespace vellum::cli
