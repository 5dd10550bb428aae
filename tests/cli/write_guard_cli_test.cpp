// Every command that writes a file refuses each piece of a split image it
// reads, by whatever route the file is named, and leaves every piece as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "cli/restore_cli.h"
#include "cli/search_cli.h"

namespace vellum::cli {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

class SourceFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vellum-write-guard-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // As `split -b 512000 -d -a 3 sample.img p.` cuts it.
    const std::string image = Bytes(std::string(VELLUM_TEST_DATA) + "/sample.img");
    for (size_t at = 0, n = 0; at < image.size(); at += kPiece, ++n) {
      pieces_.push_back(dir_ / ("p.00" + std::to_string(n)));
      std::ofstream(pieces_.back(), std::ios::binary) << image.substr(at, kPiece);
      before_.push_back(image.substr(at, kPiece));
    }
  }
  void TearDown() override { fs::remove_all(dir_); }

  template <typename Run>
  int Call(Run run, std::vector<std::string> args) {
    std::ostringstream out, err;
    ::testing::internal::CaptureStderr();
    const int status = run(args, out, err);
    err_ = err.str() + ::testing::internal::GetCapturedStderr();
    return status;
  }
  void ExpectPiecesUnchanged() {
    for (size_t i = 0; i < pieces_.size(); ++i) EXPECT_TRUE(Bytes(pieces_[i]) == before_[i]) << pieces_[i];
  }

  static constexpr size_t kPiece = 512000;
  fs::path dir_;
  std::vector<fs::path> pieces_;
  std::vector<std::string> before_;
  std::string err_;
};

TEST_F(SourceFiles, NoWriterWritesOntoAnyPiece) {
  ASSERT_EQ(pieces_.size(), 3u);
  const std::string first = pieces_[0].string(), out = (dir_ / "out").string();
  fs::create_symlink(pieces_[2], dir_ / "link");
  std::vector<std::string> targets;
  for (const fs::path& p : pieces_) targets.push_back(p.string());
  targets.push_back((dir_ / "link").string());
  for (const std::string& target : targets) {
    SCOPED_TRACE(target);
    EXPECT_EQ(Call(RunRestore, {first, "--to", out, "--report", target}), 1);
    EXPECT_NE(err_.find(target), std::string::npos) << err_;
    EXPECT_NE(err_.find(first), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(out));  // refused before anything was restored
    EXPECT_EQ(Call(RunSearch, {first, "--no-free-scan", "-o", target}), 1);
    EXPECT_EQ(Call(RunFullScan, {first, "--yes", "-o", target}), 1);
    EXPECT_EQ(Call(RunRestore, {first, "--to", target}), 1);
  }
  ExpectPiecesUnchanged();
  // Beside the pieces is a place like any other.
  EXPECT_EQ(Call(RunRestore, {first, "--to", out, "--report", (dir_ / "report.tsv").string()}), 0) << err_;
  EXPECT_GT(fs::file_size(dir_ / "report.tsv"), 0u);
  EXPECT_EQ(Call(RunSearch, {first, "--no-free-scan", "-o", (dir_ / "found.tsv").string()}), 0) << err_;
  ExpectPiecesUnchanged();
}

// An E01 segment set and a differencing VHD: the later segments and the
// parent are read as much as the file named, and none of them is written.
TEST_F(SourceFiles, NoWriterWritesOntoASegmentOrAParent) {
  const fs::path containers = fs::path(VELLUM_TEST_IMAGES) / "containers";
  const std::vector<std::pair<std::string, std::vector<std::string>>> sets = {
      {"ntfs-512.E01", {"ntfs-512.E02", "ntfs-512.E03"}},
      {"fat16-child.vhd", {"fat16-base.vhd"}},
  };
  for (const auto& [first, others] : sets) {
    SCOPED_TRACE(first);
    fs::copy_file(containers / first, dir_ / first);
    for (const std::string& o : others) fs::copy_file(containers / o, dir_ / o);
    const std::string source = (dir_ / first).string(), out = (dir_ / "out").string();
    for (const std::string& o : others) {
      const std::string target = (dir_ / o).string(), before = Bytes(target);
      EXPECT_EQ(Call(RunSearch, {source, "--no-free-scan", "-o", target}), 1) << err_;
      EXPECT_NE(err_.find(target), std::string::npos) << err_;
      EXPECT_EQ(Call(RunRestore, {source, "--to", out, "--report", target}), 1);
      EXPECT_EQ(Call(RunRestore, {source, "--to", target}), 1);
      EXPECT_TRUE(Bytes(target) == before);
      EXPECT_FALSE(fs::exists(out));
    }
  }
}

}  // namespace
}  // namespace vellum::cli
