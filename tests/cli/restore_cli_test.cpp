#include "cli/restore_cli.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/search_cli.h"

namespace vellum::cli {
namespace {

namespace fs = std::filesystem;

std::string Image(const char* name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }

struct CliRun {
  int status = -1;
  std::string out, err;
};

template <typename Run>
CliRun Call(Run run, std::vector<std::string> args) {
  std::ostringstream out, err;
  CliRun r;
  r.status = run(args, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

class TempDir {
 public:
  TempDir() : path_(fs::temp_directory_path() / ("vellum-restore-cli-" + std::to_string(::getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// The exit status tells a script whether everything asked for was done.
TEST(RestoreCli, ExitStatusSaysWhetherEverythingWasRestored) {
  TempDir dir;
  const std::string list = dir.File("found.tsv");
  ASSERT_EQ(Call(RunSearch, {Image("fat16.img"), "-o", list}).status, 0);
  size_t rows = 0;
  {
    std::ifstream in(list);
    for (std::string line; std::getline(in, line);) ++rows;
    rows -= 2;  // the drive and column lines
  }
  ASSERT_GT(rows, 3u);

  const CliRun all = Call(RunRestore, {Image("fat16.img"), "--results", list, "--to", dir.File("all")});
  EXPECT_EQ(all.status, 0) << all.out << all.err;

  const std::string past = std::to_string(rows + 1);
  const CliRun outside = Call(RunRestore, {Image("fat16.img"), "--results", list, "--rows", "1," + past, "--to",
                                           dir.File("outside")});
  EXPECT_EQ(outside.status, 2);
  EXPECT_NE(outside.err.find("--rows " + past), std::string::npos) << outside.err;
  EXPECT_FALSE(fs::exists(dir.File("outside")));

  // A row no restore can take (its time is not a time) is named, and the status is 3.
  std::string text;
  {
    std::ifstream in(list, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
  }
  const size_t third = text.find('\n', text.find('\n', text.find('\n') + 1) + 1) + 1;
  std::string line = text.substr(third, text.find('\n', third) - third);
  size_t tab = 0;
  for (int i = 0; i < 4; ++i) tab = line.find('\t', tab) + 1;
  line.replace(tab, line.find('\t', tab) - tab, "not a time");
  std::ofstream(dir.File("broken.tsv"), std::ios::binary) << text.substr(0, third) << line << "\r\n";
  const CliRun broken =
      Call(RunRestore, {Image("fat16.img"), "--results", dir.File("broken.tsv"), "--to", dir.File("broken")});
  EXPECT_EQ(broken.status, 3) << broken.out << broken.err;
  EXPECT_NE(broken.out.find("未対応の行: 1 件"), std::string::npos) << broken.out;
  EXPECT_NE(broken.out.find("復元できなかった項目:"), std::string::npos) << broken.out;
}

}  // namespace
}  // namespace vellum::cli
