// A camera card after a quick format, carved as a user does it: full-scan,
// then a restore of the content rows, every file compared with its original
// by SHA-256; each row's own check (decoded, CRCs) in the listing and in
// the restore report; --verified-only.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "cli/restore_cli.h"
#include "cli/search_cli.h"
#include "support/cli_call.h"
#include "support/run_command.h"

namespace vellum::cli {
namespace {

using testing::Call;
using testing::CliRun;
namespace fs = std::filesystem;

const std::string kImage = std::string(VELLUM_TEST_IMAGES) + "/photo-card.img";

// The originals' digests, by name (tests/data/photo-card.sha256).
std::map<std::string, std::string> Originals() {
  std::map<std::string, std::string> byDigest;
  std::ifstream in(std::string(VELLUM_TEST_DATA) + "/photo-card.sha256");
  for (std::string digest, name; in >> digest >> name;) byDigest[digest] = name;
  return byDigest;
}

class PhotoCardCli : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }

  // The names (of originals) the restored files are byte for byte, and the
  // restored files that are none of them.
  std::pair<std::set<std::string>, std::vector<std::string>> Restored(const std::string& folder) const {
    const auto originals = Originals();
    std::set<std::string> matched;
    std::vector<std::string> other;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      if (!entry.is_regular_file()) continue;
      const std::string digest = testing::RunCommand("sha256sum < '" + entry.path().string() + "' | cut -c1-64");
      const auto found = originals.find(digest.substr(0, 64));
      if (found != originals.end()) matched.insert(found->second);
      else other.push_back(entry.path().filename().string() + " (" + std::to_string(entry.file_size()) + ")");
    }
    return {matched, other};
  }

  // The results file of a full scan, and its content rows as --rows takes
  // them (the card's folder survived the format, so its entries are listed
  // too; the carving is what is tested here).
  std::string ContentRows(const std::string& list) const {
    EXPECT_EQ(Call(RunFullScan, {kImage, "--yes", "-o", list}).status, 0);
    const CliRun json = Call(RunFullScan, {kImage, "--yes", "--format", "json"});
    std::string rows;
    std::istringstream lines(json.out);
    for (std::string line; std::getline(lines, line);) {
      const nlohmann::json j = nlohmann::json::parse(line);
      if (j["kind"] == "content") rows += (rows.empty() ? "" : ",") + std::to_string(j["row"].get<int>());
    }
    return rows;
  }

  fs::path dir_ = fs::temp_directory_path() / ("vellum-photo-card-" + std::to_string(::getpid()));
};

TEST_F(PhotoCardCli, EveryPhotoAndVideoComesBackWholeAfterAQuickFormat) {
  const std::string list = File("found.tsv");
  const std::string rows = ContentRows(list);
  const CliRun restore = Call(RunRestore, {kImage, "--results", list, "--rows", rows, "--to", File("out")});
  ASSERT_EQ(restore.status, 0) << restore.out << restore.err;
  const auto [matched, other] = Restored(File("out"));
  const std::set<std::string> expected = {"EXIF_FIRST.JPG", "JFIF_EXIF.JPG", "PROGRESSIVE.JPG", "MPF.JPG",
                                          "PLAIN.JPG",      "BIG.TIF",       "RAW.DNG",         "PHONE.HEIC",
                                          "CLIP.MP4",       "CLIP.MOV",      "CHART.PNG",       "OVERWRITER.JPG"};
  EXPECT_EQ(matched, expected);
  // Nothing else but the overwritten photo's surviving start: no thumbnail,
  // no preview, no frame of the MOV as a file of its own.
  EXPECT_EQ(other.size(), 1u) << ::testing::PrintToString(other);
}

// The extension each row gets from its structure, and what its check says.
TEST_F(PhotoCardCli, EachRowSaysWhatItsOwnCheckFound) {
  const CliRun scan = Call(RunFullScan, {kImage, "--yes", "--format", "json"});
  ASSERT_EQ(scan.status, 0) << scan.err;
  std::map<std::string, int> verified, damaged, unchecked;
  std::optional<uint64_t> damagedSize, damagedFrom;
  std::istringstream lines(scan.out);
  for (std::string line; std::getline(lines, line);) {
    const nlohmann::json j = nlohmann::json::parse(line);
    if (j["kind"] != "content") continue;
    const std::string name = j["name"], ext = name.substr(name.rfind('.') + 1);
    const std::string check = j["check"];
    if (check == "verified") ++verified[ext];
    else if (check == "not checked") ++unchecked[ext];
    else {
      ++damaged[ext];
      damagedSize = j["size"].get<uint64_t>();
      damagedFrom = j["damaged_from"].get<uint64_t>();
      EXPECT_EQ(check, "damaged from byte " + std::to_string(*damagedFrom));
    }
  }
  EXPECT_EQ(verified, (std::map<std::string, int>{{"jpg", 6}, {"png", 1}}));
  EXPECT_EQ(unchecked, (std::map<std::string, int>{{"tif", 1}, {"dng", 1}, {"heic", 1}, {"mp4", 1}, {"mov", 1}}));
  // The overwritten copy ends where the next photo begins, 24 KiB in, and
  // the decoder finds it cut there.
  EXPECT_EQ(damaged, (std::map<std::string, int>{{"jpg", 1}}));
  EXPECT_EQ(damagedSize, 24'576u);
  EXPECT_EQ(damagedFrom, 24'576u);
}

TEST_F(PhotoCardCli, VerifiedOnlyRestoresTheContentRowsTheirChecksVerified) {
  const std::string list = File("found.tsv");
  const std::string rows = ContentRows(list);
  const CliRun restore = Call(RunRestore, {kImage, "--results", list, "--rows", rows, "--verified-only", "--to", File("out"),
                                           "--report", File("report.tsv")});
  ASSERT_EQ(restore.status, 0) << restore.out << restore.err;
  EXPECT_NE(restore.out.find("中身の検査で確かめられなかったため復元しなかった行: 6 件"), std::string::npos)
      << restore.out;
  const auto [matched, other] = Restored(File("out"));
  EXPECT_EQ(matched, (std::set<std::string>{"EXIF_FIRST.JPG", "JFIF_EXIF.JPG", "PROGRESSIVE.JPG", "MPF.JPG",
                                            "PLAIN.JPG", "CHART.PNG", "OVERWRITER.JPG"}));
  EXPECT_TRUE(other.empty());
  const std::string report = testing::RunCommand("cut -f10 '" + File("report.tsv") + "' | sort | uniq -c");
  EXPECT_NE(report.find("7 verified"), std::string::npos) << report;
}

}  // namespace
}  // namespace vellum::cli
