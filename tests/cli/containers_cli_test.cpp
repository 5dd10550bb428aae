// Every container gives the same answers as the raw image it was made from:
// info, the search with and without the free-cluster scan, and restore (the
// restored bytes and times), once the root text is set aside.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "cli/drives_command.h"
#include "cli/info_command.h"
#include "cli/restore_cli.h"
#include "cli/search_cli.h"
#include "volume/source.h"

namespace vellum::cli {
namespace {

namespace fs = std::filesystem;

std::string Image(const std::string& name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }

struct CliRun {
  int status = -1;
  std::string out, err;
};

template <typename Fn>
CliRun Capture(Fn fn) {
  std::ostringstream out, err;
  CliRun r;
  r.status = fn(out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
  return text;
}

class TempDir {
 public:
  explicit TempDir(const std::string& tag)
      : path_(fs::temp_directory_path() / ("vellum-containers-" + tag + "-" + std::to_string(::getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// A file's bytes in one read: a byte-wise copy of the large restored files
// would take most of the suite's time under the sanitizers.
std::string ReadFile(const fs::path& path) {
  std::string bytes(fs::file_size(path), '\0');
  std::ifstream(path, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

// What a restore left in a folder: each file's bytes and modification time
// by its path below the folder.
std::map<std::string, std::pair<std::string, int64_t>> Tree(const std::string& dir) {
  std::map<std::string, std::pair<std::string, int64_t>> files;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    const std::string rel = fs::relative(e.path(), dir).string();
    if (e.is_directory()) {
      files[rel + "/"] = {};
      continue;
    }
    files[rel] = {ReadFile(e.path()), fs::last_write_time(e.path()).time_since_epoch().count()};
  }
  return files;
}

// One volume's answers, with its root text replaced by a neutral one.
struct Answers {
  std::string info, search, freeScan, restoreSummary;
  std::map<std::string, std::pair<std::string, int64_t>> restored;
};

Answers Ask(const std::string& source, uint32_t partition, const std::string& tag) {
  const std::string root = volume::RootText(volume::SourceName(source), partition);
  std::vector<std::string> base{source};
  if (partition) base.insert(base.end(), {"--partition", std::to_string(partition)});
  auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = base;
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  Answers a;
  CliRun r = Capture([&](std::ostream& o, std::ostream& e) { return RunInfo(source, partition, o, e); });
  EXPECT_EQ(r.status, 0) << r.err;
  a.info = r.out;
  r = Capture([&](std::ostream& o, std::ostream& e) { return RunSearch(with({}), o, e); });
  EXPECT_EQ(r.status, 0) << r.err;
  a.search = Replace(r.out, root, "ROOT:/");
  TempDir dir(tag);
  const std::string results = dir.File("found.txt");
  r = Capture([&](std::ostream& o, std::ostream& e) { return RunSearch(with({"--free-scan", "-o", results}), o, e); });
  EXPECT_EQ(r.status, 0) << r.err;
  a.freeScan = Replace(ReadFile(results), root, "ROOT:/");
  const std::string to = dir.File("restored");
  r = Capture([&](std::ostream& o, std::ostream& e) { return RunRestore(with({"--to", to, "--results", results}), o, e); });
  EXPECT_EQ(r.status, 0) << r.err;
  a.restoreSummary = Replace(r.out, root, "ROOT:/");
  a.restored = Tree(to);
  return a;
}

struct Case {
  const char* container;
  const char* raw;
  uint32_t partition;
};

class SameAsRaw : public ::testing::TestWithParam<Case> {};

TEST_P(SameAsRaw, InfoSearchFreeScanAndRestore) {
  const Case c = GetParam();
  const Answers raw = Ask(Image(c.raw), c.partition, "raw");
  const Answers got = Ask(Image(std::string("containers/") + c.container), c.partition, "container");
  EXPECT_EQ(got.info, raw.info);
  EXPECT_EQ(got.search, raw.search);
  EXPECT_EQ(got.freeScan, raw.freeScan);
  EXPECT_EQ(got.restoreSummary, raw.restoreSummary);
  EXPECT_FALSE(raw.restored.empty());
  EXPECT_TRUE(got.restored == raw.restored) << got.restored.size() << " files against " << raw.restored.size();
}

INSTANTIATE_TEST_SUITE_P(
    Containers, SameAsRaw,
    ::testing::Values(Case{"fat16.E01", "fat16.img", 0}, Case{"ntfs-512.E01", "ntfs-512.img", 0},
                      Case{"disk-mbr.E01", "disk-mbr.img", 2}, Case{"disk-mbr.qcow2", "disk-mbr.img", 1},
                      Case{"fat16.vhd", "fat16.img", 0}, Case{"exfat.vhd", "exfat.img", 0},
                      Case{"exfat.vhdx", "exfat.img", 0}, Case{"ntfs-512.vmdk", "ntfs-512.img", 0},
                      Case{"fat16-child.qcow2", "fat16.img", 0},
                      Case{"fat16-zeroed.qcow2", "fat16.img", 0}, Case{"fat16-child.vhd", "fat16.img", 0},
                      Case{"fat12.img.001", "fat12.img", 0},
                      Case{"exfat.img.aa", "exfat.img", 0}),
    [](const auto& info) {
      std::string name = info.param.container;
      for (char& ch : name)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

TEST(ContainerDrives, TheDisplayNameSaysWhatTheFileIs) {
  const CliRun r = Capture([](std::ostream& o, std::ostream& e) {
    return RunDrives({Image("containers/disk-mbr.qcow2"), Image("containers/exfat.img.aa")}, false, o, e);
  });
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\tdisk-mbr.qcow2#3:/\t3\tdisk-mbr.qcow2 partition 3 (qcow2 image)\t"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\texfat.img.aa:/\t3\texfat.img.aa (split raw image)\t"), std::string::npos) << r.out;
}

TEST(ContainerWipe, IsRefusedBecauseItNeedsTheRawVolume) {
  TempDir dir("wipe");
  const std::string copy = dir.File("fat16.vhd");
  fs::copy_file(Image("containers/fat16.vhd"), copy);
  const auto before = fs::last_write_time(copy);
  // The command's messages go to the process's standard error.
  std::ostringstream said;
  std::streambuf* const saved = std::cerr.rdbuf(said.rdbuf());
  const CliRun r = Capture([&](std::ostream& o, std::ostream& e) { return RunWipe({copy, "--yes"}, o, e); });
  std::cerr.rdbuf(saved);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(said.str().find(copy + " は VHD のイメージで"), std::string::npos) << said.str();
  EXPECT_NE(said.str().find("完全削除にはボリュームそのもの"), std::string::npos) << said.str();
  EXPECT_EQ(fs::last_write_time(copy), before);
}

// Every file a container reads from is the source: a results file written
// over a later segment of an E01 set or a split image's second piece, or the
// base of a differencing disk, is refused and the file stays as it was.
TEST(ContainerProtection, ResultsAreNeverWrittenOverASegmentPieceOrParent) {
  TempDir dir("protect");
  for (const char* name : {"ntfs-512.E01", "ntfs-512.E02", "ntfs-512.E03", "fat12.img.001", "fat12.img.002",
                           "fat12.img.003", "fat16-child.vhd", "fat16-base.vhd"})
    fs::copy_file(Image(std::string("containers/") + name), dir.File(name));
  const struct {
    const char* source;
    const char* target;
  } cases[] = {{"ntfs-512.E01", "ntfs-512.E03"}, {"fat12.img.001", "fat12.img.002"},
               {"fat16-child.vhd", "fat16-base.vhd"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    const auto before = fs::file_size(dir.File(c.target));
    const auto stamp = fs::last_write_time(dir.File(c.target));
    std::ostringstream said;
    std::streambuf* const saved = std::cerr.rdbuf(said.rdbuf());
    const CliRun r = Capture([&](std::ostream& o, std::ostream& e) {
      return RunSearch({dir.File(c.source), "-o", dir.File(c.target)}, o, e);
    });
    const CliRun restore = Capture([&](std::ostream& o, std::ostream& e) {
      return RunRestore({dir.File(c.source), "--to", dir.File(c.target)}, o, e);
    });
    std::cerr.rdbuf(saved);
    EXPECT_EQ(r.status, 1) << said.str();
    EXPECT_NE(said.str().find(dir.File(c.target)), std::string::npos) << said.str();
    EXPECT_EQ(restore.status, 1) << said.str();
    EXPECT_EQ(fs::file_size(dir.File(c.target)), before);
    EXPECT_EQ(fs::last_write_time(dir.File(c.target)), stamp);
  }
}

// Damaged or incomplete sets: a message naming the file, the format and the
// fault, and status 1.
TEST(ContainerFaults, AreNamedWithTheFormatAndWhatIsWrong) {
  TempDir dir("faults");
  auto copy = [&](const std::string& name, uintmax_t keep = UINTMAX_MAX) {
    fs::copy_file(Image("containers/" + name), dir.File(name), fs::copy_options::overwrite_existing);
    if (keep != UINTMAX_MAX) fs::resize_file(dir.File(name), keep);
  };
  copy("ntfs-512.E01");
  copy("ntfs-512.E03");
  copy("fat16-child.qcow2");
  copy("fat16-child.vhd");
  copy("encrypted-aes.qcow2");
  // A parent of the right name whose identifier is not the one the child recorded.
  fs::create_directories(dir.File("other"));
  fs::copy_file(Image("containers/fat16-child.vhd"), dir.File("other/fat16-child.vhd"));
  fs::copy_file(Image("containers/fat16.vhd"), dir.File("other/fat16-base.vhd"));
  copy("fat16.E01", 50000);
  copy("fat12.img.001");
  copy("fat12.img.003");
  fs::create_directories(dir.File("short"));
  fs::copy_file(Image("containers/fat12.img.001"), dir.File("short/fat12.img.001"));
  fs::copy_file(Image("containers/fat12.img.002"), dir.File("short/fat12.img.002"));
  fs::copy_file(Image("containers/fat12.img.003"), dir.File("short/fat12.img.003"));
  fs::resize_file(dir.File("short/fat12.img.002"), 100000);

  const struct {
    std::string source, says;
  } cases[] = {
      {dir.File("ntfs-512.E01"), "E01 の証拠ファイルで、セグメント " + dir.File("ntfs-512.E02") + " がありません。"},
      {dir.File("fat16.E01"), "E01 の証拠ファイルで、セグメントの組が途中で切れているか壊れています"},
      {dir.File("fat16-child.qcow2"), "qcow2 イメージの親 fat16-base.qcow2 がありません"},
      {dir.File("fat16-child.vhd"), "差分 VHD ディスクの親 fat16-base.vhd がありません"},
      {dir.File("other/fat16-child.vhd"), "差分 VHD ディスクの親 " + dir.File("other/fat16-base.vhd") +
                                              " は、この差分の元になったディスクではありません"},
      {dir.File("encrypted-aes.qcow2"), "qcow2 イメージを読み取れません: 暗号化されています (AES)"},
      {dir.File("fat12.img.001"), "分割 raw イメージの断片 " + dir.File("fat12.img.002") + " がありません"},
      {dir.File("short/fat12.img.001"), "は 100000 バイトで、最初の断片は 512000 バイトです。断片の組が途中で切れている"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    const CliRun info = Capture([&](std::ostream& o, std::ostream& e) { return RunInfo(c.source, 0, o, e); });
    EXPECT_EQ(info.status, 1);
    EXPECT_NE(info.err.find(c.source + " を開けません: "), std::string::npos) << info.err;
    EXPECT_NE(info.err.find(c.says), std::string::npos) << info.err;
    const CliRun search = Capture([&](std::ostream& o, std::ostream& e) { return RunSearch({c.source}, o, e); });
    EXPECT_EQ(search.status, 1);
    EXPECT_NE(search.err.find(c.says), std::string::npos) << search.err;
  }
}

// A volume image cut off inside its data area is still searched, and the
// user is told how much of it is missing.
TEST(TruncatedVolume, InfoAndSearchSayHowMuchIsMissingAndGoOn) {
  TempDir dir("cut");
  const std::string cut = dir.File("fat16-cut.img");
  fs::copy_file(Image("fat16.img"), cut);
  fs::resize_file(cut, 20 << 20);
  const std::string says = cut + " は、ブートセクタが示すボリュームの終わり (32.0 MiB) より 12582912 バイト (12.0 MiB、24576 セクタ) 手前";
  const CliRun info = Capture([&](std::ostream& o, std::ostream& e) { return RunInfo(cut, 0, o, e); });
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.err.find(says), std::string::npos) << info.err;
  EXPECT_NE(info.out.find("fsKind\tFAT16\n"), std::string::npos);
  const CliRun search = Capture([&](std::ostream& o, std::ostream& e) { return RunSearch({cut}, o, e); });
  EXPECT_EQ(search.status, 0) << search.err;
  EXPECT_NE(search.err.find("fat16-cut.img:/ は、ブートセクタが示す"), std::string::npos) << search.err;
  // Reading past the end of a cut image is told about once, above; it is no failed read.
  EXPECT_EQ(search.err.find("の読み取りに"), std::string::npos) << search.err;
  // The deleted entries before the cut are all there.
  EXPECT_NE(search.out.find("Deleted-15c.txt"), std::string::npos) << search.out;
  const CliRun whole = Capture([](std::ostream& o, std::ostream& e) { return RunInfo(Image("fat16.img"), 0, o, e); });
  EXPECT_EQ(whole.err, "");
}

}  // namespace
}  // namespace vellum::cli
