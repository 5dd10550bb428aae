#include "app/write_guard.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "app/restore_command.h"
#include "app/results_file.h"
#include "support/scripted_messages.h"

namespace vellum::app {
namespace {

namespace fs = std::filesystem;
using platform::SourceRelation;

// A source at /src/card.img whose drive holds every path below /src/.
SourceRelation FakeRelation(const std::string& path) {
  if (path == "/src/card.img") return SourceRelation::kIsSource;
  return path.starts_with("/src/") ? SourceRelation::kOnSourceDrive : SourceRelation::kUnrelated;
}

TEST(WriteGuard, GivesTheDocumentedAnswerForEachWriterAndPlace) {
  const WriteGuard guard(FakeRelation, "/src/card.img");
  testing::ScriptedMessages m;
  // The source itself: refused for every writer, naming both paths, whatever is answered.
  for (WriteKind kind : {WriteKind::kResultsFile, WriteKind::kRestoreDestination, WriteKind::kRestoreReport}) {
    m.answers = {MessageAnswer::Yes};
    m.shown.clear();
    EXPECT_FALSE(guard.MayWrite("/src/card.img", kind, m));
    ASSERT_EQ(m.shown.size(), 1u);
    EXPECT_EQ(m.lastButtons, MessageButtons::Ok);
    EXPECT_NE(m.shown[0].find("/src/card.img"), std::string::npos);
  }
  // Elsewhere on its drive: the results file asks (No by default), a restore refuses.
  m.shown.clear();
  m.answers = {};
  EXPECT_FALSE(guard.MayWrite("/src/list.txt", WriteKind::kResultsFile, m));
  m.answers = {MessageAnswer::Yes};
  EXPECT_TRUE(guard.MayWrite("/src/list.txt", WriteKind::kResultsFile, m));
  EXPECT_EQ(m.shown, (std::vector<std::string>{std::string(kSaveOnSourceQuestion), std::string(kSaveOnSourceQuestion)}));
  m.shown.clear();
  m.answers = {MessageAnswer::Yes};
  EXPECT_FALSE(guard.MayWrite("/src/out", WriteKind::kRestoreDestination, m));
  EXPECT_FALSE(guard.MayWrite("/src/report.tsv", WriteKind::kRestoreReport, m));
  ASSERT_EQ(m.shown.size(), 2u);
  EXPECT_TRUE(m.shown[0].starts_with(kDestinationOnSourceMessage));
  EXPECT_TRUE(m.shown[1].starts_with(kReportOnSourceMessage));
  EXPECT_NE(m.shown[1].find("/src/report.tsv"), std::string::npos);
  // Anywhere else: no question at all.
  m.shown.clear();
  EXPECT_TRUE(guard.MayWrite("elsewhere/out", WriteKind::kRestoreDestination, m));
  EXPECT_TRUE(m.shown.empty());
}

TEST(WriteGuard, WritingAWholeFileChecksAgainAndReportsTheSystemsReason) {
  const fs::path dir = fs::temp_directory_path() / ("vellum-guard-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string image = (dir / "card.img").string(), link = (dir / "later-a-link").string();
  std::ofstream(image) << "image";
  const WriteGuard guard(platform::SourceSet({{image}}), image);
  std::string error;
  // A path let through may have become a link to the source since.
  fs::create_symlink(image, link);
  EXPECT_FALSE(guard.WriteWholeFile(link, "list", error));
  EXPECT_NE(error.find(image), std::string::npos);
  std::ifstream in(image);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "image");
  EXPECT_FALSE(guard.WriteWholeFile((dir / "no-such" / "x").string(), "list", error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(guard.WriteWholeFile((dir / "list.txt").string(), "list", error));
  EXPECT_EQ(fs::file_size(dir / "list.txt"), 4u);
  fs::remove_all(dir);
}

// The writers of the program, found by what they call: nothing outside
// these files opens a path for writing. A new writer must pass through the
// guard and be added here with the route it takes.
TEST(WriteGuard, NoWriterOpensAPathForWritingOutsideTheGuard) {
  const std::map<std::string, std::string> allowed = {
      {"app/write_guard.cpp", "the guard itself: results files and restore reports"},
      {"restore/restored_file.cpp", "files below a restore destination the guard let through"},
      {"restore/destination.cpp",
       "folders below a restore destination, reached from its root one name at a time, never through a link"},
      {"app/wipe_command.cpp", "complete deletion reopening the source itself, after its checks"},
      {"app/open_volume.cpp", "the legacy path's volume, writable only when complete deletion reopens it"},
      {"bios_layer/disks16.cpp", "the disk BIOS layer's units, opened for writing only for complete deletion"},
  };
  const std::regex opensForWriting(
      R"(std::ofstream|std::fstream|OpenStdioFile\([^)]*"[wa+]|\bfopen\(|O_WRONLY|O_RDWR|O_CREAT|GENERIC_WRITE|)"
      R"(OutputFile::Mode|OpenAccess::ReadWrite|\bcreat\(|CreateFileW?\(|WriteOnly|QSaveFile|)"
      R"(CreateNewIn\(|MakeOrOpenFolderIn\(|RenameNewIn\()");
  const fs::path src = fs::path(VELLUM_TEST_DATA).parent_path().parent_path() / "src";
  std::set<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(src)) {
    const std::string rel = fs::relative(e.path(), src).generic_string();
    if (!e.is_regular_file() || rel.starts_with("platform/")) continue;
    std::ifstream in(e.path());
    std::stringstream text;
    text << in.rdbuf();
    if (std::regex_search(text.str(), opensForWriting)) found.insert(rel);
  }
  for (const std::string& f : found) EXPECT_TRUE(allowed.count(f)) << f << " opens a path for writing";
  for (const auto& [f, why] : allowed) EXPECT_TRUE(found.count(f)) << f << " no longer writes (" << why << ")";
}

}  // namespace
}  // namespace vellum::app
