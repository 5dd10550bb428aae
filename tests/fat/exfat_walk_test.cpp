#include "fat/exfat_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "support/open_image.h"
#include "fat/fat_walk.h"
#include "support/recording_rows.h"
#include "support/tsk.h"
#include "volume/sector_io.h"

namespace vellum::fat {
namespace {

using testing::RecordedRow;
using testing::TskEntry;

std::vector<uint8_t> Entry(uint8_t type) {
  std::vector<uint8_t> e(32, 0);
  e[0] = type;
  return e;
}

std::vector<uint8_t> FileEntry(uint8_t type, uint16_t attributes) {
  auto e = Entry(type);
  PutLe16(e, 4, attributes);
  PutLe16(e, 12, 0x4000);  // 08:00:00
  PutLe16(e, 14, 0x58A6);  // 2024/05/06
  return e;
}

std::vector<uint8_t> StreamEntry(uint8_t type, uint32_t cluster, uint64_t size, uint8_t flags) {
  auto e = Entry(type);
  e[1] = flags;
  PutLe32(e, 8, static_cast<uint32_t>(size));
  PutLe32(e, 20, cluster);
  return e;
}

std::vector<uint8_t> NameEntry(uint8_t type, std::u16string part) {
  auto e = Entry(type);
  for (size_t i = 0; i < part.size() && i < 15; ++i) PutLe16(e, 2 + 2 * i, part[i]);
  return e;
}

// Feeds hand-made entries to the walk as one directory of the root.
struct Directory {
  volume::ScanState state;
  testing::RecordingRows rows;
  std::vector<ExfatSubdirectory> subdirectories;

  Directory() {
    state.fsKind = volume::kExfat;
    state.lastCluster = 1000;
    state.exfatBitmap.assign(125, 0);
    state.options.zeroSize = true;
    state.rows = &rows;
    state.rootPath = "x:/";
  }
  void Feed(const std::vector<std::vector<uint8_t>>& entries, bool insideDeleted = false) {
    ExfatWalk walk(state);
    ExfatEntrySet set;
    for (const auto& e : entries)
      if (!walk.TakeEntry(e, set, subdirectories, "x:/", insideDeleted)) break;
    walk.CloseSet(set, subdirectories, "x:/", insideDeleted);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> n;
    for (const RecordedRow& r : rows.rows) n.push_back(r.name);
    return n;
  }
};

TEST(ExfatSets, NamesOfFifteenUnitsAndConsecutiveSetsNeverMix) {
  Directory d;
  d.Feed({FileEntry(0x05, 0x20), StreamEntry(0x40, 10, 100, 3), NameEntry(0x41, u"exactly15units."),
          FileEntry(0x05, 0x20), StreamEntry(0x40, 11, 200, 1), NameEntry(0x41, u"second.txt"),
          // A live set between them is dropped whole.
          FileEntry(0x85, 0x20), StreamEntry(0xC0, 12, 300, 1), NameEntry(0xC1, u"live.txt"),
          FileEntry(0x05, 0x20), StreamEntry(0x40, 13, 400, 3), NameEntry(0x41, u"third")});
  EXPECT_EQ(d.Names(), (std::vector<std::string>{"exactly15units.", "second.txt", "third"}));
  ASSERT_EQ(d.rows.rows.size(), 3u);
  EXPECT_EQ(d.rows.rows[0].dataWord, 0u);  // flag byte 3: contiguous
  EXPECT_EQ(d.rows.rows[1].dataWord, 2u);  // flag byte 1: FAT chain
  EXPECT_EQ(d.rows.rows[0].Cell(4), "2024/05/06 08:00:00");
}

TEST(ExfatSets, EmptyFilesAndSetsWithoutStreamOrNameAreDropped) {
  Directory d;
  d.Feed({FileEntry(0x05, 0x20), StreamEntry(0x40, 0, 0, 3), NameEntry(0x41, u"empty.txt"),
          FileEntry(0x05, 0x20), NameEntry(0x41, u"no-stream.txt"),
          FileEntry(0x05, 0x20), StreamEntry(0x40, 14, 10, 3),
          FileEntry(0x05, 0x20), StreamEntry(0x40, 15, 10, 3), NameEntry(0x41, u"kept")});
  EXPECT_EQ(d.Names(), (std::vector<std::string>{"kept"}));
}

TEST(ExfatSets, ASetCutOffByTheEndOfTheDirectoryIsClosedThere) {
  Directory d;
  d.Feed({FileEntry(0x05, 0x20), StreamEntry(0x40, 16, 10, 3), NameEntry(0x41, u"cut off")});
  EXPECT_EQ(d.Names(), (std::vector<std::string>{"cut off"}));
  Directory ended;
  ended.Feed({FileEntry(0x05, 0x20), StreamEntry(0x40, 16, 10, 3), NameEntry(0x41, u"before end"),
              Entry(0x00), FileEntry(0x05, 0x20), StreamEntry(0x40, 17, 10, 3), NameEntry(0x41, u"after")});
  EXPECT_EQ(ended.Names(), (std::vector<std::string>{"before end"}));
}

// A set whose File entry counts on entries past the end of the bytes is
// closed there, with the name it has, and counted; the entry past the view
// is not read. A set that ends with the bytes but lacks nothing is not.
TEST(ExfatSets, ASetCutByTheEndOfTheBytesIsClosedThereAndCounted) {
  auto file = FileEntry(0x05, 0x20);
  file[1] = 3;  // a Stream Extension and two File Name entries
  std::vector<uint8_t> bytes;
  for (const auto& e : {file, StreamEntry(0x40, 16, 10, 3), NameEntry(0x41, u"first fifteen u"),
                        NameEntry(0x41, u"nits")})
    bytes.insert(bytes.end(), e.begin(), e.end());
  Directory d;
  ExfatWalk walk(d.state);
  EXPECT_EQ(walk.TakeScannedCluster(ByteView(bytes).first(96), "x:/"), 1u);
  EXPECT_EQ(d.Names(), (std::vector<std::string>{"first fifteen u"}));
  EXPECT_EQ(d.state.truncatedStructures, 1u);
  EXPECT_EQ(walk.TakeScannedCluster(bytes, "x:/"), 1u);
  EXPECT_EQ(d.Names().back(), "first fifteen units");
  EXPECT_EQ(d.state.truncatedStructures, 1u);
}

// A scanned cluster of old data: stray Stream Extension and File Name
// entries and noise before a set, a set in the last slots, and an end mark
// that ends the cluster before a set behind it; sets at any slot, across the
// edges of the eight-slot groups the scan passes over whole.
TEST(ExfatSets, AScannedClusterListsTheSetsAmongOldDataWhereverTheyStand) {
  auto noise = Entry(0x3C);
  noise[1] = 0x85;  // a File entry's type byte, but not at the start of a slot
  const auto set = [](uint32_t cluster, const char16_t* name) {
    return std::vector<std::vector<uint8_t>>{FileEntry(0x05, 0x20), StreamEntry(0x40, cluster, 10, 3),
                                             NameEntry(0x41, name)};
  };
  for (size_t at : {0u, 5u, 7u, 8u, 9u, 61u, 125u}) {
    std::vector<std::vector<uint8_t>> slots(128, noise);
    if (at >= 2) slots[at - 2] = StreamEntry(0x40, 40, 10, 3), slots[at - 1] = NameEntry(0x41, u"stray");
    const auto found = set(50, u"found");
    std::copy(found.begin(), found.end(), slots.begin() + static_cast<ptrdiff_t>(at));
    if (at + 6 < 128) {
      const auto behind = set(51, u"behind");
      std::copy(behind.begin(), behind.end(), slots.begin() + static_cast<ptrdiff_t>(at) + 4);
    }
    std::vector<uint8_t> bytes;
    for (const auto& e : slots) bytes.insert(bytes.end(), e.begin(), e.end());
    Directory d;
    ExfatWalk walk(d.state);
    walk.TakeScannedCluster(bytes, "x:/");
    const std::vector<std::string> expected =
        at + 6 < 128 ? std::vector<std::string>{"found", "behind"} : std::vector<std::string>{"found"};
    EXPECT_EQ(d.Names(), expected) << "set at slot " << at;
    EXPECT_EQ(d.state.truncatedStructures, 0u);
    // An end mark before a set ends the cluster there.
    std::fill_n(bytes.begin() + static_cast<ptrdiff_t>(at) * 32, 32, uint8_t{0});
    Directory ended;
    ExfatWalk endedWalk(ended.state);
    endedWalk.TakeScannedCluster(bytes, "x:/");
    EXPECT_TRUE(ended.Names().empty()) << "end mark at slot " << at;
  }
}

TEST(ExfatSets, TheThoroughWalkRecordsLiveFoldersToEnterButListsNoLiveSet) {
  Directory d;
  d.state.options.thorough = true;
  d.Feed({FileEntry(0x85, 0x20), StreamEntry(0xC0, 30, 10, 3), NameEntry(0xC1, u"live file"),
          FileEntry(0x85, 0x10), StreamEntry(0xC0, 31, 4096, 1), NameEntry(0xC1, u"DCIM"),
          // A live folder entry whose Stream Extension is deleted is damage: dropped.
          FileEntry(0x85, 0x10), StreamEntry(0x40, 32, 4096, 1), NameEntry(0xC1, u"half"),
          FileEntry(0x05, 0x20), StreamEntry(0x40, 33, 10, 3), NameEntry(0x41, u"deleted"),
          // bit 0x80 of a live folder's attributes does not make its live sets count
          FileEntry(0x85, 0x90), StreamEntry(0xC0, 34, 4096, 1), NameEntry(0xC1, u"odd")});
  EXPECT_EQ(d.Names(), (std::vector<std::string>{"deleted"}));
  ASSERT_EQ(d.subdirectories.size(), 2u);
  EXPECT_EQ(d.subdirectories[0].name, "DCIM");
  EXPECT_EQ(d.subdirectories[0].firstCluster, 31u);
  EXPECT_FALSE(d.subdirectories[0].insideDeleted);
  EXPECT_FALSE(d.subdirectories[1].insideDeleted);
}

TEST(ExfatSets, FoldersAreRecordedAndLiveEntriesCountInsideDeletedOnes) {
  Directory d;
  d.Feed({FileEntry(0x05, 0x10), StreamEntry(0x40, 20, 4096, 1), NameEntry(0x41, u"gone")});
  ASSERT_EQ(d.subdirectories.size(), 1u);
  EXPECT_EQ(d.subdirectories[0].name, "gone");
  EXPECT_EQ(d.subdirectories[0].firstCluster, 20u);
  EXPECT_EQ(d.rows.rows[0].dataWord, 3u);  // folder with a FAT chain

  Directory inside;
  inside.Feed({FileEntry(0x85, 0x20), StreamEntry(0xC0, 21, 10, 3), NameEntry(0xC1, u"was live")}, true);
  EXPECT_EQ(inside.Names(), (std::vector<std::string>{"was live"}));
}

// The walk of the committed exFAT images against The Sleuth Kit: every
// deleted set in the root or inside a deleted folder, and nothing else.
// The thorough walk: every deleted set fls finds through the folders, live
// ones included.
void CompareWithTsk(const std::string& image, const std::set<std::string>& chainedNames, bool thorough = false) {
  volume::ScanState s;
  std::string error;
  ASSERT_TRUE((error = testing::OpenImage(image, s)).empty()) << error;
  testing::RecordingRows rows;
  s.rows = &rows;
  s.rootPath = "img:/";
  s.options.inUse = true;
  s.options.zeroSize = true;
  s.options.thorough = thorough;
  ASSERT_TRUE(WalkFatExfat(s));

  const std::vector<TskEntry> tsk = testing::ReadTskDeleted(image);
  ASSERT_FALSE(tsk.empty());
  // Deleted folders the plain walk reaches: in the root or in another such
  // folder (fls lists a folder before what it holds).
  std::set<std::string> deletedFolders{""};
  for (const TskEntry& e : tsk)
    if (e.directory && deletedFolders.count(e.folder))
      deletedFolders.insert(e.folder.empty() ? e.name : e.folder + "/" + e.name);
  size_t admitted = 0;
  for (const TskEntry& e : tsk) {
    // Empty files have no first cluster; files in live folders are walked
    // only by the thorough walk; orphans by the thorough walk's look at the
    // free clusters, which lists them under <不明>.
    const bool orphan = e.folder.starts_with("$OrphanFiles");
    if (e.size == "0" || (orphan && !thorough)) continue;
    if (!thorough && !deletedFolders.count(e.folder)) continue;
    ++admitted;
    SCOPED_TRACE(e.folder + "/" + e.name);
    const std::string folder = "img:/" + (orphan ? std::string("<不明>") : e.folder);
    auto it = std::find_if(rows.rows.begin(), rows.rows.end(),
                           [&](const RecordedRow& r) { return r.name == e.name && r.Cell(1) == folder; });
    ASSERT_NE(it, rows.rows.end()) << "not listed";
    EXPECT_EQ(it->Cell(2), e.size);
    EXPECT_EQ(it->Cell(4), e.written);
    EXPECT_EQ(it->dataWord & 1, e.directory ? 1u : 0u);
    const uint64_t cluster = std::stoull(it->Cell(5));
    EXPECT_EQ(volume::ClusterToSector(s, cluster), e.firstSector);
    // The driver writes contiguous files without a FAT chain; only the file
    // made of pieces carries the flag.
    EXPECT_EQ((it->dataWord & 2) != 0, chainedNames.count(e.name) == 1) << "FAT-chain flag";
  }
  EXPECT_EQ(rows.rows.size(), admitted);
}

TEST(ExfatImages, ListWhatTheSleuthKitSeesInTheRootAndDeletedFolders) {
  CompareWithTsk(std::string(VELLUM_TEST_IMAGES) + "/exfat.img", {});
  CompareWithTsk(std::string(VELLUM_TEST_IMAGES) + "/exfat-sets.img", {"fragmented.bin"});
  // Every deleted set of this card-like image is in a live folder.
  CompareWithTsk(std::string(VELLUM_TEST_IMAGES) + "/exfat-live.img", {});
}

TEST(ExfatImages, TheThoroughWalkListsWhatTheSleuthKitSeesInEveryFolder) {
  CompareWithTsk(std::string(VELLUM_TEST_IMAGES) + "/exfat.img", {}, true);
  CompareWithTsk(std::string(VELLUM_TEST_IMAGES) + "/exfat-sets.img", {"fragmented.bin"}, true);
  CompareWithTsk(std::string(VELLUM_TEST_IMAGES) + "/exfat-live.img", {}, true);
}

}  // namespace
}  // namespace vellum::fat
