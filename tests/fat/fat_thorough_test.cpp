// The thorough search on FAT32, on an image made by mkfs.fat and mtools: a
// deleted folder whose directory took several clusters with live data between
// them, deleted long names whose short names mtools wrote in ASCII, and
// complete deletion of both the folders the walk reads and the orphaned
// directory clusters it does not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "fat/cluster_scan.h"
#include "fat/directory_cluster.h"
#include "fat/fat_walk.h"
#include "fat/wipe.h"
#include "restore/restore_output.h"
#include "support/command_fixture.h"
#include "support/open_image.h"
#include "support/recording_rows.h"
#include "support/scripted_messages.h"
#include "support/tsk.h"
#include "volume/sector_io.h"
#include "support/fixture_bytes.h"

namespace vellum::fat {
namespace {
using testing::Pattern;
using testing::ReadFile;

namespace fs = std::filesystem;
using testing::RecordedRow;
using testing::TskEntry;
using testing::TskNormal;

const std::string kImage = std::string(VELLUM_TEST_IMAGES) + "/fat32-thorough.img";
constexpr size_t kAlbumFiles = 49;  // 48 photos and the nested folder's file

struct Walked {
  volume::ScanState state;
  testing::RecordingRows rows;
  std::vector<std::string> Names(const std::string& folder) const {
    std::vector<std::string> names;
    for (const RecordedRow& r : rows.rows)
      if (r.Cell(1) == folder) names.push_back(r.name);
    return names;
  }
};

void Open(const std::string& image, bool thorough, Walked& w,
          platform::OpenAccess access = platform::OpenAccess::ReadOnly) {
  std::string error;
  ASSERT_TRUE((error = testing::OpenImage(image, w.state, {}, access)).empty()) << error;
  w.state.rootPath = "img:/";
  w.state.options.zeroSize = w.state.options.inUse = true;
  w.state.options.analyse = false;
  w.state.options.thorough = thorough;
  w.state.rows = &w.rows;
}

class WholeRange : public ClusterRangeAsker {
 public:
  bool RunClusterRangeDialog(uint64_t&, uint64_t&) override { return true; }
};

// A search with every option, then the free-cluster scan, as the command does.
void SearchAndScan(const std::string& image, Walked& w) {
  Open(image, true, w);
  ASSERT_TRUE(WalkFatExfat(w.state));
  w.state.clusterScan = 1;
  WholeRange range;
  ASSERT_EQ(ScanFatClusters(w.state, range, {}), 1);
}


using testing::TempDir;

TEST(FatThorough, ListsWhatTheSleuthKitSeesWithLongNames) {
  Walked w;
  Open(kImage, true, w);
  ASSERT_TRUE(WalkFatExfat(w.state));
  const std::vector<TskEntry> tsk = testing::ReadTskDeleted(kImage);
  ASSERT_EQ(tsk.size(), 55u) << "fls found something else; is sleuthkit installed?";
  std::vector<bool> used(w.rows.rows.size());
  for (const TskEntry& e : tsk) {
    SCOPED_TRACE(e.folder + "/" + e.name);
    // fls lists the album's entries past its first cluster as orphans, by
    // their short names; we list them in the album with their long names.
    const bool orphan = e.folder.starts_with("$OrphanFiles");
    auto it = std::find_if(w.rows.rows.begin(), w.rows.rows.end(), [&](const RecordedRow& r) {
      const std::string folder = r.Cell(1).substr(5);
      const bool sameSector = e.hasSectors ? volume::ClusterToSector(w.state, std::stoull(r.Cell(5))) == e.firstSector
                                           : r.Cell(5) == "0";
      const bool sameName = orphan ? folder.starts_with("$LBUM") : TskNormal(folder) == TskNormal(e.folder) &&
                                                                        TskNormal(r.name) == TskNormal(e.name);
      return !used[&r - w.rows.rows.data()] && sameSector && sameName && (r.dataWord == 1 || r.Cell(2) == e.size);
    });
    ASSERT_NE(it, w.rows.rows.end()) << "not listed";
    used[it - w.rows.rows.begin()] = true;
    if (!orphan) {
      EXPECT_EQ(it->dataWord, e.directory ? 1u : 0u);  // fls gives an orphan folder no type
    }
    EXPECT_EQ(it->Cell(4), e.written);
  }
  EXPECT_EQ(w.rows.rows.size(), tsk.size());
  EXPECT_EQ(w.Names("img:/"), (std::vector<std::string>{"$LBUM", "削除済み.txt", "写真フォルダ", ".file.txt.swp"}));
  EXPECT_EQ(w.Names("img:/$LBUM").size(), kAlbumFiles);  // the nested folder, less its file
  EXPECT_EQ(w.Names("img:/$LBUM/nested trip"), std::vector<std::string>{"Trip notes 5.txt"});
}

TEST(FatThorough, WithoutTheOptionNothingChanges) {
  Walked w;
  Open(kImage, false, w);
  ASSERT_TRUE(WalkFatExfat(w.state));
  EXPECT_EQ(w.Names("img:/"), (std::vector<std::string>{"$LBUM", "$___.TXT", "$_____", "$ILETX~1.SWP"}));
  // Only the folder's first cluster is read: four photos, and none of its
  // later clusters is claimed.
  EXPECT_EQ(w.Names("img:/$LBUM").size(), 4u);
  EXPECT_EQ(volume::ReadFatEntry(w.state, w.state.fatWork, 5), 0);
}

// Without the option only the deleted album's first cluster is read, and the
// long name that runs into its second cluster is cut there: counted once. The
// thorough walk reads on and cuts nothing.
TEST(FatThorough, TheLongNameCutAtTheFirstClusterIsCountedOnlyWithoutTheOption) {
  Walked plain;
  Open(kImage, false, plain);
  ASSERT_TRUE(WalkFatExfat(plain.state));
  EXPECT_EQ(plain.state.truncatedStructures, 1u);
  Walked thorough;
  Open(kImage, true, thorough);
  ASSERT_TRUE(WalkFatExfat(thorough.state));
  EXPECT_EQ(thorough.state.truncatedStructures, 0u);
}

TEST(FatThorough, RestoreGivesTheWholeFolderByteForByte) {
  Walked w;
  Open(kImage, true, w);
  TempDir dir("vellum-thorough-");
  ASSERT_FALSE(dir.Path().empty());
  testing::ScriptedMessages messages;
  restore::Outcomes tally;
  restore::RestoreTarget target{dir.Path(), &messages, &tally};
  w.state.operationMode = volume::kModeRestore;
  ASSERT_TRUE(WalkFatExfat(w.state, &target));
  // Files are numbered in the order they were created; the nested folder's
  // file came after the sixth round's photos.
  size_t n = 0;
  for (int round = 0; round < 8; ++round) {
    for (int k = 0; k < 6; ++k, ++n) {
      const std::string name = "Album photo " + std::to_string(round) + "-" + std::to_string(k) + ".jpg";
      EXPECT_EQ(ReadFile(fs::path(dir.Path()) / "$LBUM" / name), Pattern("album-" + std::to_string(n), 300 + 97 * n))
          << name;
    }
    if (round == 5) {
      EXPECT_EQ(ReadFile(fs::path(dir.Path()) / "$LBUM/nested trip/Trip notes 5.txt"), Pattern("album-36", 300 + 97 * 36));
      ++n;
    }
  }
  EXPECT_EQ(ReadFile(fs::path(dir.Path()) / "削除済み.txt"), Pattern("deleted-japanese", 777));
  EXPECT_EQ(ReadFile(fs::path(dir.Path()) / "写真フォルダ/beach photo.jpg"), Pattern("beach", 1500));
  EXPECT_EQ(tally.Files(), kAlbumFiles + 3);
}

const std::string kOrphanImage = std::string(VELLUM_TEST_IMAGES) + "/fat16-orphan-walk.img";

// The bytes the fixture gave the N-th file it made: lines "trip-N %08d".
std::string TripBytes(size_t n) { return Pattern("trip-" + std::to_string(n), 200 + 61 * n); }

// trips/ lost the way to its later directory clusters. The one holding the
// entry of trips/inner/ (whose ".." names trips/) is read below trips/; the
// others are listed under <不明>, as the free-cluster scan lists them. Every
// file fls finds is listed once, and a free-cluster scan after the walk adds
// nothing.
TEST(FatThorough, OrphanedClustersOfADeletedFolderAreListedOnceBelowItOrUnderUnknown) {
  Walked w;
  Open(kOrphanImage, true, w);
  ASSERT_TRUE(WalkFatExfat(w.state));
  const std::vector<std::string> adopted = w.Names("img:/$RIPS");
  for (const char* name : {"Trip note 0-0.txt", "Trip note 2-5.txt", "Trip note 3-0.txt", "$NNER"})
    EXPECT_NE(std::find(adopted.begin(), adopted.end(), name), adopted.end()) << name;
  EXPECT_EQ(w.Names("img:/$RIPS/$NNER"), std::vector<std::string>{"Inner note.txt"});
  const std::vector<std::string> unknown = w.Names("img:/<不明>");
  for (const char* name : {"Trip note 1-2.txt", "Trip note 3-7.txt"})
    EXPECT_NE(std::find(unknown.begin(), unknown.end(), name), unknown.end()) << name;
  std::set<std::string> clusters;
  for (const RecordedRow& r : w.rows.rows)
    EXPECT_TRUE(clusters.insert(r.Cell(5)).second) << "twice: " << r.Cell(1) << "/" << r.name;
  for (const TskEntry& e : testing::ReadTskDeleted(kOrphanImage)) {
    if (!e.hasSectors) continue;
    const uint64_t cluster = (e.firstSector - volume::ClusterToSector(w.state, 2)) / w.state.sectorsPerCluster + 2;
    EXPECT_EQ(clusters.count(std::to_string(cluster)), 1u) << e.folder << "/" << e.name;
  }
  const size_t walked = w.rows.rows.size();
  w.state.clusterScan = 1;
  WholeRange range;
  ASSERT_EQ(ScanFatClusters(w.state, range, {}), 1);
  EXPECT_EQ(w.rows.rows.size(), walked);

  Walked plain;
  Open(kOrphanImage, false, plain);
  ASSERT_TRUE(WalkFatExfat(plain.state));
  EXPECT_TRUE(plain.Names("img:/<不明>").empty());
  EXPECT_TRUE(plain.Names("img:/$RIPS/$NNER").empty());
}

// Cancel pressed as the free clusters' read reaches the volume's last cluster.
class CancelAtLastCluster : public Progress {
 public:
  explicit CancelAtLastCluster(uint64_t last) : last_(last) {}
  int OpenProgress() override { return 1; }
  void StartPhase(std::string_view, uint64_t) override {}
  void ShowFileLabel() override {}
  int Update(uint64_t current) override { return current < last_; }
  int PumpAndCheckCancel() override { return 0; }
  void SetFileName(std::string_view) override {}
  void CloseProgress() override {}

 private:
  uint64_t last_;
};

// Cancel keeps what was found: the orphans read before it are listed.
TEST(FatThorough, ASearchCancelledInTheFreeClustersListsTheOrphansFoundSoFar) {
  Walked w;
  Open(kOrphanImage, true, w);
  CancelAtLastCluster cancel(w.state.lastCluster);
  w.state.progress = &cancel;
  WalkFatExfat(w.state);
  EXPECT_TRUE(w.state.cancelled);
  const std::vector<std::string> unknown = w.Names("img:/<不明>");
  EXPECT_NE(std::find(unknown.begin(), unknown.end(), "Trip note 1-2.txt"), unknown.end());
}

// The walk restore puts each file where the search lists it, with the bytes
// The Sleuth Kit reads for it.
TEST(FatThorough, RestoreWritesOrphanedEntriesWhereTheSearchListsThem) {
  Walked w;
  Open(kOrphanImage, true, w);
  TempDir dir("vellum-orphan-walk-");
  testing::ScriptedMessages messages;
  restore::Outcomes tally;
  restore::RestoreTarget target{dir.Path(), &messages, &tally};
  w.state.operationMode = volume::kModeRestore;
  ASSERT_TRUE(WalkFatExfat(w.state, &target));
  const fs::path root(dir.Path());
  EXPECT_EQ(ReadFile(root / "$RIPS/$NNER/Inner note.txt"), testing::RunCommand("icat '" + kOrphanImage + "' 679"));
  EXPECT_EQ(ReadFile(root / "$RIPS/$NNER/Inner note.txt"), TripBytes(24));
  EXPECT_EQ(ReadFile(root / "$RIPS/Trip note 2-5.txt"), TripBytes(21));
  EXPECT_EQ(ReadFile(root / "<不明>/Trip note 1-2.txt"), TripBytes(10));
  EXPECT_EQ(ReadFile(root / "<不明>/Trip note 3-7.txt"), TripBytes(32));
  EXPECT_EQ(tally.Files(), 37u);  // the 33 files of trips/ and the four scratch files
}

class FatThoroughWipe : public ::testing::TestWithParam<bool> {};

// After complete deletion, with the option or without it, a search with
// every option and the free-cluster scan find no name of a deleted file,
// and no cluster changed that did not read as directory entries before.
TEST_P(FatThoroughWipe, LeavesNoDeletedNameAndNoFileDataTouched) {
  std::set<std::string> deleted;
  for (const TskEntry& e : testing::ReadTskDeleted(kImage)) {
    deleted.insert(TskNormal(e.name));
    deleted.insert(TskNormal(e.shortName));
  }
  Walked before;
  SearchAndScan(kImage, before);
  size_t found = 0;
  for (const RecordedRow& r : before.rows.rows) {
    found += deleted.count(TskNormal(r.name));
    // The album's long names, which fls does not show; not the scan's rows,
    // one of which is a line of file data that happens to read as an entry.
    if (!r.Cell(1).ends_with("<不明>")) deleted.insert(TskNormal(r.name));
  }
  ASSERT_GE(found, 10u);  // fls shows the orphans by short names, which we list with their long names

  TempDir dir("vellum-thorough-");
  ASSERT_FALSE(dir.Path().empty());
  const std::string copy = dir.Path() + "/copy.img";
  fs::copy_file(kImage, copy);
  {
    Walked w;
    Open(copy, GetParam(), w, platform::OpenAccess::ReadWrite);
    w.state.operationMode = volume::kModeCompleteDeletion;
    ASSERT_TRUE(WalkFatExfat(w.state));
    WipeOrphanedFatDirectories(w.state);
    EXPECT_EQ(w.state.wipe.failedWrites, 0u);
    EXPECT_GT(w.state.wipe.entries, 100u);
  }
  Walked after;
  SearchAndScan(copy, after);
  for (const RecordedRow& r : after.rows.rows) EXPECT_EQ(deleted.count(TskNormal(r.name)), 0u) << r.name;

  const std::string original = ReadFile(kImage), wiped = ReadFile(copy);
  ASSERT_EQ(original.size(), wiped.size());
  const uint64_t first = volume::ClusterToSector(before.state, 2) * before.state.bytesPerSector;
  const size_t bytes = before.state.clusterBytes;
  for (uint64_t at = first; at + bytes <= original.size(); at += bytes) {
    if (original.compare(at, bytes, wiped, at, bytes) == 0) continue;
    const ByteView cluster(reinterpret_cast<const uint8_t*>(original.data() + at), bytes);
    EXPECT_TRUE(IsDirectoryCluster(cluster, before.state.lastCluster)) << "cluster at byte " << at;
  }
}

INSTANTIATE_TEST_SUITE_P(Thorough, FatThoroughWipe, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "thorough" : "plain"; });

}  // namespace
}  // namespace vellum::fat
