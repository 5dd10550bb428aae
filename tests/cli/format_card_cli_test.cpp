// A quick-formatted card that held audio, video, archives and a database
// (tools/fixtures/make_format_card.sh): a full cluster scan and a search
// with the free-cluster scan list each file by its contents with the
// length its structure gives, and the restore of those rows writes every
// file byte for byte and nothing else.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <map>
#include <set>

#include "cli/restore_cli.h"
#include "cli/search_cli.h"
#include "support/cli_call.h"
#include "support/fixture_bytes.h"

namespace vellum::cli {
namespace {

using testing::Call;
using testing::CliRun;
namespace fs = std::filesystem;

const char* const kCardFiles[] = {"clip.ts",    "clip.m2ts",  "tone.mp3",       "tone.flac",   "tone.ogg",
                                  "tone.opus",  "archive.7z", "numbers.txt.gz", "notes.sqlite"};

class FormatCard : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vellum-format-card-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_P(FormatCard, EveryFileIsCarvedByteForByte) {
  const std::string image = std::string(VELLUM_TEST_IMAGES) + "/formats-fat32.img";
  const std::string list = (dir_ / "found.tsv").string();
  const std::string scan = GetParam();
  const CliRun found = scan == "full-scan" ? Call(RunFullScan, {image, "--yes", "-o", list})
                                           : Call(RunSearch, {image, "--free-scan", "-o", list});
  ASSERT_EQ(found.status, 0) << found.err;
  const CliRun restored = Call(RunRestore, {image, "--results", list, "--to", (dir_ / "out").string()});
  ASSERT_NE(restored.status, 1) << restored.out << restored.err;

  std::map<std::string, std::string> originals;
  for (const char* f : kCardFiles)
    originals[testing::ReadFile(fs::path(VELLUM_TEST_DATA) / "content" / f)] = f;
  std::set<std::string> carved;
  uint64_t contentBytes = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir_ / "out")) {
    const std::string name = e.path().filename().string();
    if (!e.is_regular_file() || name.rfind("不明", 0) != 0) continue;
    const std::string bytes = testing::ReadFile(e.path());
    contentBytes += bytes.size();
    const auto original = originals.find(bytes);
    // A content row is one of the card's files, whole: nothing cut, nothing padded.
    ASSERT_NE(original, originals.end()) << name << " (" << bytes.size() << " bytes) is none of the files";
    EXPECT_TRUE(carved.insert(original->second).second) << original->second << " carved twice";
  }
  EXPECT_EQ(carved.size(), std::size(kCardFiles));
  uint64_t originalBytes = 0;
  for (const auto& [bytes, name] : originals) originalBytes += bytes.size();
  EXPECT_EQ(contentBytes, originalBytes);
}

// The formats whose walk checks their CRCs or unpacks their data say so in
// the listing; the others are not checked.
TEST(FormatCardChecks, EachCarvedFileSaysWhatItsOwnCheckFound) {
  const std::string image = std::string(VELLUM_TEST_IMAGES) + "/formats-fat32.img";
  const CliRun scan = Call(RunFullScan, {image, "--yes", "--format", "json"});
  ASSERT_EQ(scan.status, 0) << scan.err;
  std::map<std::string, std::string> checks;
  std::istringstream lines(scan.out);
  for (std::string line; std::getline(lines, line);) {
    const nlohmann::json j = nlohmann::json::parse(line);
    if (j["kind"] != "content") continue;
    const std::string name = j["name"];
    checks[name.substr(name.rfind('.') + 1)] = j["check"];
  }
  EXPECT_EQ(checks, (std::map<std::string, std::string>{{"ts", "not checked"},
                                                        {"mts", "not checked"},
                                                        {"mp3", "not checked"},
                                                        {"flac", "verified"},
                                                        {"ogg", "verified"},
                                                        {"opus", "verified"},
                                                        {"7z", "not checked"},  // its packed streams are not unpacked
                                                        {"gz", "verified"},
                                                        {"sqlite", "not checked"}}));
}

INSTANTIATE_TEST_SUITE_P(Scans, FormatCard, ::testing::Values("full-scan", "free-scan"),
                         [](const auto& info) { return std::string(info.param) == "full-scan" ? "FullScan" : "FreeScan"; });

}  // namespace
}  // namespace vellum::cli
