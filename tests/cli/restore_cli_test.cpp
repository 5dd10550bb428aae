#include "cli/restore_cli.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>

#include <filesystem>
#include <cstdlib>
#include <ctime>
#include <map>
#include <fstream>
#include <sstream>

#include "cli/search_cli.h"
#include "support/cli_call.h"

namespace vellum::cli {
namespace {
using testing::Call;
using testing::CliRun;

namespace fs = std::filesystem;

std::string Image(const char* name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }


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
  EXPECT_NE(outside.err.find("--rows の " + past + " 行目"), std::string::npos) << outside.err;
  EXPECT_NE(outside.err.find("(1-" + std::to_string(rows) + " 行)"), std::string::npos) << outside.err;
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

struct Restored {
  std::string bytes;
  int64_t mtime = 0;
  bool folderMadeOnTheWay = false;
};

std::map<std::string, Restored> Tree(const std::string& root) {
  std::map<std::string, Restored> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    Restored r;
    struct stat st {};
    ::stat(e.path().c_str(), &st);
    r.mtime = st.st_mtime;
    // A live folder made on the way to a deleted file has no recorded time,
    // so it carries the time it was made; the images' own times are older.
    r.folderMadeOnTheWay = e.is_directory() && std::abs(st.st_mtime - ::time(nullptr)) < 3600;
    if (e.is_regular_file()) {
      std::ifstream in(e.path(), std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      r.bytes = bytes.str();
    }
    out[fs::relative(e.path(), root).string()] = r;
  }
  return out;
}

// Search now, restore later from a copy: a list made from an image restores
// the same files, bytes and times from a copy of it and from a renamed copy
// (the list's root text names the original), and says that the names differ.
TEST(RestoreCli, AListRestoresFromACopyOrARenamedCopyAsFromTheOriginal) {
  for (const char* image : {"fat16.img", "fat32-512.img", "exfat.img", "ntfs-4k.img"}) {
    SCOPED_TRACE(image);
    TempDir dir;
    const std::string list = dir.File("found.tsv");
    ASSERT_EQ(Call(RunSearch, {Image(image), "--zero-size", "-o", list}).status, 0);
    fs::copy_file(Image(image), dir.File(image));
    fs::copy_file(Image(image), dir.File("renamed.bin"));
    const CliRun original = Call(RunRestore, {Image(image), "--results", list, "--to", dir.File("original")});
    ASSERT_NE(original.status, 1) << original.err;
    const auto expected = Tree(dir.File("original"));
    EXPECT_GT(expected.size(), 5u);
    for (const std::string& source : {dir.File(image), dir.File("renamed.bin")}) {
      SCOPED_TRACE(source);
      const std::string out = dir.File("from-" + fs::path(source).filename().string());
      const CliRun copy = Call(RunRestore, {source, "--results", list, "--to", out});
      EXPECT_EQ(copy.status, original.status) << copy.out << copy.err;
      const auto got = Tree(out);
      EXPECT_EQ(got.size(), expected.size());
      for (const auto& [path, want] : expected) {
        const auto it = got.find(path);
        if (it == got.end()) {
          ADD_FAILURE() << "missing " << path;
          continue;
        }
        EXPECT_TRUE(it->second.bytes == want.bytes) << path;
        // Live folders made on the way to a deleted file have no recorded time.
        if (!want.folderMadeOnTheWay) {
          EXPECT_EQ(it->second.mtime, want.mtime) << path;
        }
      }
      EXPECT_EQ(copy.out.find("このボリュームに見つからない行"), std::string::npos) << copy.out;
      const bool renamed = source.ends_with("renamed.bin");
      EXPECT_EQ(copy.err.find("と違います") != std::string::npos, renamed) << copy.err;
    }
  }
}

// A list that plainly belongs to another kind of volume is refused, naming why.
TEST(RestoreCli, AListOfAnotherKindOfVolumeIsRefused) {
  TempDir dir;
  ASSERT_EQ(Call(RunSearch, {Image("fat16.img"), "-o", dir.File("fat.tsv")}).status, 0);
  ASSERT_EQ(Call(RunSearch, {Image("ntfs-4k.img"), "-o", dir.File("ntfs.tsv")}).status, 0);
  const CliRun fatOnNtfs =
      Call(RunRestore, {Image("ntfs-4k.img"), "--results", dir.File("fat.tsv"), "--to", dir.File("a")});
  EXPECT_EQ(fatOnNtfs.status, 1);
  EXPECT_NE(fatOnNtfs.err.find("復元元は NTFS です"), std::string::npos) << fatOnNtfs.err;
  const CliRun ntfsOnFat =
      Call(RunRestore, {Image("fat16.img"), "--results", dir.File("ntfs.tsv"), "--to", dir.File("b")});
  EXPECT_EQ(ntfsOnFat.status, 1);
  EXPECT_NE(ntfsOnFat.err.find("NTFS ではありません"), std::string::npos) << ntfsOnFat.err;
  const CliRun fatOnSmallFat =
      Call(RunRestore, {Image("fat12.img"), "--results", dir.File("fat.tsv"), "--to", dir.File("c")});
  if (fatOnSmallFat.status == 1) {
    EXPECT_NE(fatOnSmallFat.err.find("最後のクラスタ"), std::string::npos);
  }
  for (const char* out : {"a", "b"}) EXPECT_TRUE(!fs::exists(dir.File(out)) || fs::is_empty(dir.File(out)));
}

// A file that is no list (a system file, a list saved as UTF-16) is refused
// by name before the destination is made.
TEST(RestoreCli, AFileThatIsNoListIsRefusedBeforeAnythingIsMade) {
  TempDir dir;
  std::ofstream(dir.File("services")) << "# Network services\ntcpmux\t1/tcp\necho\t7/tcp\n";
  std::ofstream(dir.File("utf16.txt"), std::ios::binary) << std::string("\xFF\xFE" "2\0\r\0\n\0", 8);
  for (const char* list : {"services", "utf16.txt"}) {
    const CliRun run = Call(RunRestore, {Image("fat16.img"), "--results", dir.File(list), "--to", dir.File("out")});
    EXPECT_EQ(run.status, 1) << list;
    EXPECT_NE(run.err.find(dir.File(list) + " は"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("未対応の行"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir.File("out"))) << list;
  }
}

size_t CountOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A list saved from one card and restored from another card of the same
// file system: every row is looked for on the volume first, and the rows it
// no longer holds are skipped one by one with the reason, instead of
// writing that card's unrelated clusters under the list's names. --force
// restores them anyway.
TEST(RestoreCli, AListOfAnotherVolumeOfTheSameKindIsRefusedRowByRow) {
  const std::pair<const char*, const char*> pairs[] = {{"fat16.img", "fat16-cp932.img"},
                                                       {"media-fat32.img", "fat32-512.img"},
                                                       {"exfat.img", "media-exfat.img"},
                                                       {"media-ntfs.img", "ntfs-512.img"},
                                                       {"ntfs-4k.img", "ntfs-parents.img"}};
  for (const auto& [listed, other] : pairs) {
    SCOPED_TRACE(std::string(listed) + " on " + other);
    TempDir dir;
    const std::string list = dir.File("found.tsv");
    // With the free-cluster scan: the media images' rows of recognised contents come too.
    ASSERT_EQ(Call(RunSearch, {Image(listed), "--free-scan", "-o", list}).status, 0);
    size_t rows = 0;
    {
      std::ifstream in(list);
      for (std::string line; std::getline(in, line);) ++rows;
      rows -= 2;
    }
    ASSERT_GT(rows, 3u);
    const std::string report = dir.File("report.tsv");
    const CliRun refused = Call(RunRestore, {Image(other), "--results", list, "--to", dir.File("refused"),
                                             "--report", report});
    EXPECT_EQ(refused.status, 3) << refused.out << refused.err;
    EXPECT_NE(refused.out.find("このボリュームに見つからない行: " + std::to_string(rows) + " 件"), std::string::npos)
        << refused.out;
    std::ifstream in(report);
    std::ostringstream lines;
    lines << in.rdbuf();
    EXPECT_EQ(CountOf(lines.str(), "\tskipped\tこの一覧の行がこのボリュームに見つかりません\t"), rows) << lines.str();
    EXPECT_TRUE(Tree(dir.File("refused")).empty());  // nothing written, not even a folder

    const CliRun forced =
        Call(RunRestore, {Image(other), "--results", list, "--to", dir.File("forced"), "--force"});
    EXPECT_NE(forced.status, 1) << forced.err;
    EXPECT_EQ(forced.out.find("このボリュームに見つからない行"), std::string::npos) << forced.out;
    EXPECT_FALSE(Tree(dir.File("forced")).empty());

    // The list's own volume, copied under another name, holds every row.
    fs::copy_file(Image(listed), dir.File("copy.bin"));
    const CliRun own = Call(RunRestore, {dir.File("copy.bin"), "--results", list, "--to", dir.File("own")});
    EXPECT_EQ(own.out.find("このボリュームに見つからない行"), std::string::npos) << own.out;
  }
}

}  // namespace
}  // namespace vellum::cli
