// Deleted exFAT files whose clusters are no longer simply where their entries
// point, restored as a user does from the command line and compared with
// what The Sleuth Kit reads from the same entries.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "cli/restore_cli.h"
#include "cli/search_cli.h"
#include "support/tsk.h"
#include "support/cli_call.h"
#include "support/fixture_bytes.h"

namespace vellum::cli {
namespace {
using testing::Call;
using testing::CliRun;
using testing::Pattern;
using testing::ReadFile;

namespace fs = std::filesystem;
using testing::RunCommand;

const std::string kImage = std::string(VELLUM_TEST_IMAGES) + "/exfat-runs.img";




// What icat reads for each entry fls lists by its path, deleted or live.
std::map<std::string, std::string> IcatByPath(const std::string& image) {
  std::map<std::string, std::string> out;
  std::istringstream lines(RunCommand("fls -r -p '" + image + "'"));
  for (std::string line; std::getline(lines, line);) {
    const size_t colon = line.find(':'), tab = line.find('\t');
    if (!line.starts_with("r/r") || colon == std::string::npos || tab == std::string::npos) continue;
    const size_t space = line.rfind(' ', colon);
    out[line.substr(tab + 1)] = RunCommand("icat '" + image + "' " + line.substr(space + 1, colon - space - 1));
  }
  return out;
}

class ExfatRunsCli : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_ = fs::temp_directory_path() / ("vellum-exfat-runs-" + std::to_string(::getpid()));
};

// A fragmented file whose chain the deletion cleared comes back byte for
// byte along the predicted run and says it was predicted; a contiguous run
// crossing a live file, and a file whose clusters were all taken again, get
// zeros where the clusters are another file's, and name those bytes. Nothing
// of a live file is ever written into a restored one.
TEST_F(ExfatRunsCli, NoRestoredFileHoldsALiveFilesBytes) {
  const std::string list = File("found.tsv");
  ASSERT_EQ(Call(RunSearch, {kImage, "--thorough", "--in-use", "--no-analyse", "-o", list}).status, 0);
  const CliRun restore =
      Call(RunRestore, {kImage, "--results", list, "--to", File("out"), "--report", File("report.tsv")});
  EXPECT_EQ(restore.status, 3) << restore.out << restore.err;
  EXPECT_NE(restore.out.find("クラスタの並びを予測して復元したファイル: 1 件"), std::string::npos) << restore.out;
  EXPECT_NE(restore.out.find("一部が上書きされていたファイル: 2 件"), std::string::npos) << restore.out;
  EXPECT_NE(restore.out.find("crossed.bin: 上書きされた部分を 0 で埋めた (バイト 12288-20479)"), std::string::npos)
      << restore.out;

  const std::map<std::string, std::string> tsk = IcatByPath(kImage);
  const std::string ours = File("out");
  // The Sleuth Kit is exact for these: they must be equal.
  for (const char* path : {"frag/fragmented.bin", "other/p.bin", "times/utc-odd.txt"})
    EXPECT_TRUE(ReadFile(ours + "/" + path) == tsk.at(path)) << path;

  // crossed.bin's clusters 4 and 5 are the live q.bin's now. icat passes
  // over them and shifts the rest of the file onto them; ours has zeros
  // there, named in the outcome, and the bytes the fixture wrote elsewhere.
  const std::string crossed = ReadFile(ours + "/cross/crossed.bin");
  const std::string written = Pattern("crossed.bin", 32668);
  ASSERT_EQ(crossed.size(), written.size());
  EXPECT_TRUE(crossed.substr(12288, 8192) == std::string(8192, '\0'));
  EXPECT_TRUE(crossed.substr(0, 12288) == written.substr(0, 12288));
  EXPECT_TRUE(crossed.substr(20480) == written.substr(20480));
  EXPECT_TRUE(tsk.at("cross/crossed.bin").substr(12288, 4096) == written.substr(20480, 4096));
  EXPECT_TRUE(ReadFile(ours + "/reuse/old.bin") == std::string(12000, '\0'));
  EXPECT_TRUE(tsk.at("reuse/old.bin") != Pattern("old.bin", 12000));

  const std::string report = ReadFile(File("report.tsv"));
  // Each line ends with the row's state before the restore, then its check
  // (empty: these rows are listed by name, not found by their contents).
  for (const char* line : {"90000\t", "\tpredicted\tpredicted at 4096-89999\tunknown\t\n",
                           "\tpartly-overwritten\toverwritten at 0-11999\toverwritten\t\n",
                           "\tpartly-overwritten\toverwritten at 12288-20479\tpartly-overwritten\t\n"})
    EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
}

// --intact-only restores the rows whose clusters are all free and counts the
// rest: everything asked for that was restored is intact, so the status is 0.
TEST_F(ExfatRunsCli, IntactOnlyLeavesTheOthersAndSaysHowMany) {
  const std::string list = File("found.tsv");
  ASSERT_EQ(Call(RunSearch, {kImage, "--thorough", "--in-use", "--no-analyse", "-o", list}).status, 0);
  const CliRun r = Call(RunRestore, {kImage, "--results", list, "--intact-only", "--to", File("out")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("ファイル: 3 件"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("上書きされている可能性があるため復元しなかった行: 3 件"), std::string::npos) << r.out;
  for (const char* path : {"/frag/fragmented.bin", "/reuse/old.bin", "/cross/crossed.bin"})
    EXPECT_FALSE(fs::exists(File("out") + path)) << path;
  EXPECT_TRUE(fs::exists(File("out") + "/other/p.bin"));
  EXPECT_EQ(Call(RunRestore, {kImage, "--intact-only", "--to", File("walk")}).status, 2);
}

// Sets TZ for one scope and puts the one before back.
class TimeZone {
 public:
  explicit TimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~TimeZone() {
    if (old_) ::setenv("TZ", old_->c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
  }

 private:
  std::optional<std::string> old_;
};

int64_t ModifiedAt(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : -1;
}

// Both files were stamped 2024-05-06 07:08:11 UTC: one by a driver in Tokyo
// (16:08:10 +09:00 and a 10 ms increment of one second), one in UTC. Listed
// in local time and restored, from a list and by the walk, they carry that
// moment whatever the zone of the user.
TEST_F(ExfatRunsCli, TimesAreTheRecordedMomentInEveryTimeZone) {
  constexpr int64_t kStamped = 1714979291;
  for (const auto& [zone, listed] : {std::pair{"UTC", "2024/05/06 07:08:11"}, {"Asia/Tokyo", "2024/05/06 16:08:11"}}) {
    SCOPED_TRACE(zone);
    TimeZone tz(zone);
    const std::string list = File(std::string("found-") + (zone[0] == 'U' ? "utc" : "tokyo") + ".tsv");
    ASSERT_EQ(Call(RunSearch, {kImage, "--thorough", "--no-analyse", "-o", list}).status, 0);
    const std::string rows = ReadFile(list);
    for (const char* name : {"tokyo-odd.txt\t", "utc-odd.txt\t"}) {
      const size_t at = rows.find(name);
      ASSERT_NE(at, std::string::npos) << name;
      EXPECT_NE(rows.substr(at, rows.find('\n', at) - at).find(listed), std::string::npos) << rows;
    }
    const std::string fromList = File(std::string("list-") + (zone[0] == 'U' ? "utc" : "tokyo"));
    const std::string byWalk = File(std::string("walk-") + (zone[0] == 'U' ? "utc" : "tokyo"));
    Call(RunRestore, {kImage, "--results", list, "--rows", "1-2", "--to", fromList});
    Call(RunRestore, {kImage, "--thorough", "--to", byWalk});
    for (const std::string& root : {fromList, byWalk})
      for (const char* name : {"/times/tokyo-odd.txt", "/times/utc-odd.txt"})
        EXPECT_EQ(ModifiedAt(root + name), kStamped) << root << name;
  }
}

}  // namespace
}  // namespace vellum::cli
