// The free-cluster scan as a user runs it: bytes that only look like
// directory entries or file records are not listed, and every orphan The
// Sleuth Kit finds by name still is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "cli/restore_cli.h"
#include "cli/search_cli.h"
#include "support/cli_call.h"
#include "support/command_fixture.h"
#include "support/tsk.h"

namespace vellum::cli {
namespace {

std::string Image(const std::string& name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }

struct Row {
  std::string name, folder, mtime, kind;
  uint64_t size = 0;
  bool isDir = false;
};

// With the in-use option: fls lists an orphan whatever became of its clusters.
// `scan`: the free-cluster scan, or the thorough walk, which reads the free
// clusters for orphaned entries too.
std::vector<Row> FreeScanRows(const std::string& image, std::vector<std::string> scan = {"--free-scan"}) {
  scan.insert(scan.begin(), image);
  for (const char* option : {"--in-use", "--no-analyse", "--format", "json"}) scan.push_back(option);
  const testing::CliRun run = testing::Call(RunSearch, scan);
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<Row> rows;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    const nlohmann::json j = nlohmann::json::parse(line);
    rows.push_back({j.value("name", ""), j.value("folder", ""), j.value("mtime", ""), j.value("kind", ""),
                    j["size"].is_number() ? j["size"].get<uint64_t>() : 0, j.value("is_dir", false)});
  }
  return rows;
}

std::set<std::string> OrphanNames(const std::vector<Row>& rows) {
  std::set<std::string> names;
  for (const Row& r : rows)
    if (r.folder.ends_with("<不明>")) names.insert(r.name);
  return names;
}

bool IsCalendarText(const std::string& iso) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) return false;
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return mo >= 1 && mo <= 12 && d >= 1 && d <= (mo == 2 && !leap ? 28 : kDays[mo - 1]) && h < 24 && mi < 60 && s < 60;
}

bool HasControlCharacter(const std::string& name) {
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

// The sizes of the files fls lists under $OrphanFiles. fls names them by
// their short names and we by their long ones, so a size stands for a file.
std::multiset<uint64_t> TskOrphanFileSizes(const std::string& image) {
  std::multiset<uint64_t> sizes;
  std::istringstream lines(testing::RunCommand("fls -rd -p '" + image + "'"));
  for (std::string line; std::getline(lines, line);) {
    // "-/r * 51:<TAB>$OrphanFiles/_LBUMP~5.JPG": files only, not fls's numbered ones.
    const size_t colon = line.find(':'), tab = line.find('\t');
    if (colon == std::string::npos || tab == std::string::npos || line.substr(1, 2) != "/r" ||
        line.find("$OrphanFiles/", tab) == std::string::npos || line.find("/OrphanFile-", tab) != std::string::npos)
      continue;
    const size_t space = line.rfind(' ', colon);
    const std::string stat = testing::RunCommand("istat '" + image + "' " + line.substr(space + 1, colon - space - 1));
    sizes.insert(std::stoull(testing::TskField(stat, "Size: ")));
  }
  return sizes;
}

// Entries dated hour 25 or 30 February, or named with a bell character,
// read from a deleted file's cluster: only the plausible entry is listed, by
// the free-cluster scan and by the thorough walk, and only it is restored.
TEST(OrphanRule, GarbageReadAsEntriesIsNotListed) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  const std::vector<std::string> thorough{"--no-free-scan", "--thorough"};
  for (const auto& [image, good] : {std::pair{"garbage-fat16.img", "GOOD.TXT"}, {"garbage-exfat.img", "good.txt"}}) {
    SCOPED_TRACE(image);
    EXPECT_EQ(OrphanNames(FreeScanRows(Image(image))), std::set<std::string>{good});
    EXPECT_EQ(OrphanNames(FreeScanRows(Image(image), thorough)), std::set<std::string>{good});
    // The thorough walk restore takes what its search lists, and no more.
    testing::TempDir dir;
    const testing::CliRun run = testing::Call(RunRestore, {Image(image), "--thorough", "--to", dir.Path()});
    EXPECT_EQ(run.status, 0) << run.err;
    std::set<std::string> restored;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path() + "/<不明>"))
      restored.insert(e.path().filename().string());
    EXPECT_EQ(restored, std::set<std::string>{good});
  }
  // NTFS: records dated past year 9999, named with a bell, or whose data run
  // starts past the volume's end; only the record left whole is listed.
  std::set<std::string> records;
  for (const Row& r : FreeScanRows(Image("garbage-ntfs.img")))
    if (r.kind == "orphan") records.insert(r.name);
  EXPECT_EQ(records, std::set<std::string>{"good.txt"});
}

// On the images with orphans: every row's time is a calendar time and its
// name holds no control character, and fls's orphans (FAT, exFAT) are all
// listed. fls's NTFS orphans are records whose folder is gone, not records
// in free clusters, and are listed by the search itself.
TEST(OrphanRule, EveryRealOrphanIsStillListed) {
  for (const char* image : {"exfat-live.img", "exfat-sets.img", "exfat.img", "fat32-thorough.img",
                            "ntfs-orphans.img", "ntfs-parents.img"}) {
    SCOPED_TRACE(image);
    const std::vector<Row> rows = FreeScanRows(Image(image));
    for (const Row& r : rows) {
      EXPECT_TRUE(IsCalendarText(r.mtime)) << r.name << " " << r.mtime;
      EXPECT_FALSE(HasControlCharacter(r.name)) << r.folder << "/" << r.name;
    }
    if (std::string(image).starts_with("ntfs")) continue;
    std::multiset<uint64_t> ours;
    for (const Row& r : rows)
      if (r.folder.find("<不明>") != std::string::npos && !r.isDir) ours.insert(r.size);
    const std::multiset<uint64_t> theirs = TskOrphanFileSizes(Image(image));
    EXPECT_TRUE(std::includes(ours.begin(), ours.end(), theirs.begin(), theirs.end()))
        << theirs.size() << " orphans of fls, " << ours.size() << " listed";
  }
}

}  // namespace
}  // namespace vellum::cli
