#include "app/row_item.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/open_volume.h"
#include "app/restore_command.h"
#include "fat/exfat_walk.h"
#include "fat/fat_walk.h"
#include "fat/orphan_walk.h"
#include "ntfs/ntfs_search.h"
#include "ntfs/record.h"
#include "support/command_fixture.h"
#include "volume/listing.h"

namespace vellum::app {
namespace {

using testing::Command;

std::string Image(const char* name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }

// The items the walk itself builds from the entries it decodes, in the
// search's state (options and all): the thorough one's look at the free
// clusters included.
std::vector<fat::FoundEntry> WalkedItems(volume::ScanState& s) {
  std::vector<fat::FoundEntry> items;
  const fat::FoundEntryObserver take = [&items](const fat::FoundEntry& e) { items.push_back(e); };
  const int32_t found = s.foundCount;
  if (s.fsKind == volume::kExfat) {
    fat::ExfatWalk walk(s);
    walk.SetFoundObserver(&take);
    walk.WalkRoot();
    if (s.options.thorough) fat::WalkOrphanedExfatSets(s, walk);
  } else {
    fat::FatWalk walk(s);
    walk.SetFoundObserver(&take);
    if (s.rootCluster == 0) walk.WalkFatRoot();
    else walk.WalkFatDirectory(s.rootCluster, nullptr, false);
    if (s.options.thorough) fat::WalkOrphanedFatEntries(s, walk);
  }
  EXPECT_EQ(s.foundCount, found);  // handed over, not listed
  return items;
}

// A row listed and read back is the walker's own item: name, folder below
// the root, first cluster, size, date and time, kind and exFAT chain flag.
TEST(RowItem, AListedRowReadsBackAsTheWalkersItem) {
  for (const char* image : {"fat12.img", "fat16.img", "fat32-thorough.img", "exfat-sets.img", "exfat-live.img"}) {
    SCOPED_TRACE(image);
    Command search(Image(image));
    search.context.options.zeroSize = true;
    search.context.options.inUse = true;
    search.context.options.thorough = true;
    ASSERT_EQ(OnSearch(search.context), 1);
    ASSERT_GT(search.list.RowCount(), 3u);
    search.state.fatWork = search.state.fat;  // as the search began
    const std::vector<fat::FoundEntry> walked = WalkedItems(search.state);
    ASSERT_EQ(KindOfList(search.list), ListKind::kFatFamily);
    bool folder = false;
    for (size_t row = 0; row < search.list.RowCount(); ++row) {
      const RowItem item = ReadRowItem(search.list, row, ListKind::kFatFamily);
      const auto* entry = std::get_if<fat::FoundEntry>(&item);
      ASSERT_NE(entry, nullptr) << search.list.Cell(row, 0);
      EXPECT_NE(std::find(walked.begin(), walked.end(), *entry), walked.end())
          << entry->folder << "/" << entry->name << " " << entry->firstCluster << " " << entry->size;
      folder |= entry->isFolder;
    }
    EXPECT_TRUE(folder);
  }
}

// The same for NTFS: a record listed by number, or found by the free-cluster
// scan at a cluster and slot, reads back as the item the search builds from
// that record.
TEST(RowItem, AListedNtfsRowReadsBackAsTheSearchsItem) {
  size_t records = 0, scanned = 0;
  for (const char* image : {"ntfs-4k.img", "ntfs-parents.img", "ntfs-orphans.img"}) {
    SCOPED_TRACE(image);
    Command search(Image(image));
    search.context.options.zeroSize = true;
    search.messages.answers = {MessageAnswer::Yes};  // the free-cluster scan
    struct WholeVolume : ClusterRangeAsker {
      bool RunClusterRangeDialog(uint64_t&, uint64_t&) override { return true; }
    } range;
    search.context.rangeAsker = &range;
    ASSERT_EQ(OnSearch(search.context), 1);
    ASSERT_EQ(KindOfList(search.list), ListKind::kNtfs);
    std::vector<uint8_t> bytes(search.state.mftRecordSize);
    for (size_t row = 0; row < search.list.RowCount(); ++row) {
      const RowItem item = ReadRowItem(search.list, row, ListKind::kNtfs);
      const auto* listed = std::get_if<ntfs::FoundRecord>(&item);
      if (!listed) continue;
      const ntfs::NtfsRecordSource& at = listed->source;
      ASSERT_TRUE(at.recordNumber != 0 ? ntfs::ReadMftRecord(search.state, at.recordNumber, bytes)
                                       : ntfs::ReadRecordAt(search.state, at.cluster, at.slot, bytes));
      const auto walked = ntfs::RecordItem(search.state, at, bytes);
      ASSERT_TRUE(walked.has_value()) << listed->name;
      EXPECT_EQ(*walked, *listed) << listed->folder << "/" << listed->name;
      ++(at.recordNumber != 0 ? records : scanned);
    }
  }
  EXPECT_GT(records, 10u);
  EXPECT_GT(scanned, 0u);
}

// A volume holds every entry its own search listed, orphans of the
// free-cluster scan too, and none whose folder, name, first cluster or size
// differ.
TEST(RowItem, AVolumeHoldsItsOwnEntriesAndNoAlteredOnes) {
  struct WholeVolume : ClusterRangeAsker {
    bool RunClusterRangeDialog(uint64_t&, uint64_t&) override { return true; }
  } range;
  for (const char* image : {"fat32-thorough.img", "exfat-live.img"}) {
    SCOPED_TRACE(image);
    std::vector<fat::FoundEntry> listed;
    // The search with the free-cluster scan, and the full scan, whose
    // entries lie in clusters in use as well.
    for (const bool full : {false, true}) {
      Command search(Image(image));
      search.context.options.thorough = true;
      search.context.options.analyse = false;
      search.messages.answers = {MessageAnswer::Yes};
      search.context.rangeAsker = &range;
      ASSERT_EQ(full ? OnFullClusterScan(search.context) : OnSearch(search.context), 1);
      for (size_t row = 0; row < search.list.RowCount(); ++row)
        listed.push_back(std::get<fat::FoundEntry>(ReadRowItem(search.list, row, ListKind::kFatFamily)));
    }
    const auto orphan = std::find_if(listed.begin(), listed.end(),
                                     [](const fat::FoundEntry& e) { return e.folder == fat::kOrphanFolder; });
    ASSERT_NE(orphan, listed.end());
    const auto walked = std::find_if(listed.begin(), listed.end(), [](const fat::FoundEntry& e) {
      return !e.isFolder && e.size > 0 && e.folder != fat::kOrphanFolder;
    });
    ASSERT_NE(walked, listed.end());

    Command restore(Image(image));
    ASSERT_EQ(OpenVolume(restore.state, restore.context.volume, restore.list, restore.messages), 1);
    const std::vector<bool> held = fat::EntriesOnVolume(restore.state, listed);
    EXPECT_EQ(std::count(held.begin(), held.end(), true), static_cast<long>(listed.size()));
    for (size_t k = 0; k < held.size(); ++k)
      if (!held[k]) ADD_FAILURE() << "not held: " << listed[k].folder << " / " << listed[k].name << " cluster " << listed[k].firstCluster;

    std::vector<fat::FoundEntry> altered(4, *walked);
    altered[0].size += 1;
    altered[1].firstCluster += 1;
    altered[2].name += "x";
    altered[3].folder = altered[3].folder.empty() ? "DCIM" : "";
    altered.push_back(*orphan);
    altered.back().firstCluster += 1;
    const std::vector<bool> none = fat::EntriesOnVolume(restore.state, altered);
    EXPECT_EQ(std::count(none.begin(), none.end(), true), 0);
  }
}

// What a row holds tells its kind; the display texts do not.
TEST(RowItem, TheKindComesFromWhatTheRowHolds) {
  ResultList fat;
  fat.SetClusterColumn(volume::kFat32);
  fat.InsertRow(0, "不明120.jpg", 0);
  fat.SetCell(0, 1, "other.img:/<不明>");
  fat.SetCell(0, 2, "    4096");
  fat.SetCell(0, 4, "<不明>");
  fat.SetCell(0, 5, "     120");
  fat.InsertRow(1, "photo.jpg", 0);
  fat.SetCell(1, 1, "card.img:/DCIM/100/");
  fat.SetCell(1, 2, "4096");
  fat.SetCell(1, 4, "2024/05/06 07:08:10");
  fat.SetCell(1, 5, "7");
  fat.SetDataWord(1, volume::kRowFatChain);
  fat.InsertRow(2, "notes.txt", 0);  // a time that is none, a name that is no content's
  fat.SetCell(2, 4, "<不明>");
  fat.SetCell(2, 5, "9");

  const RowItem content = ReadRowItem(fat, 0, KindOfList(fat));
  ASSERT_TRUE(std::holds_alternative<content::FoundContent>(content));
  EXPECT_EQ(std::get<content::FoundContent>(content), (content::FoundContent{"不明120.jpg", "<不明>", 120, 4096}));
  EXPECT_EQ(std::get<content::FoundContent>(content).Extension(), "jpg");
  const RowItem entry = ReadRowItem(fat, 1, ListKind::kFatFamily);
  ASSERT_TRUE(std::holds_alternative<fat::FoundEntry>(entry));
  const auto& e = std::get<fat::FoundEntry>(entry);
  EXPECT_EQ(e.folder, "DCIM/100");
  EXPECT_EQ(e.dosDate, ((2024 - 1980) << 9) | (5 << 5) | 6);
  EXPECT_EQ(e.dosTime, (7 << 11) | (8 << 5) | 5);
  EXPECT_TRUE(e.fatChain);
  EXPECT_TRUE(std::holds_alternative<UnusableRow>(ReadRowItem(fat, 2, ListKind::kFatFamily)));
  EXPECT_TRUE(std::holds_alternative<UnusableRow>(ReadRowItem(fat, 3, ListKind::kFatFamily)));

  ResultList ntfs;
  ntfs.SetClusterColumn(volume::kNtfs);
  ntfs.AddScanColumns();
  ntfs.InsertRow(0, "report.doc", 0);
  ntfs.SetCell(0, 1, "ntfs.img:/docs");
  ntfs.SetCell(0, 4, "2024/05/06 07:08:10.000");
  ntfs.SetCell(0, 5, "      64");
  ntfs.InsertRow(1, "lost.txt", 0);
  ntfs.SetCell(1, 4, "2024/05/06 07:08:10.000");
  ntfs.SetCell(1, 6, "     300");
  ntfs.SetCell(1, 7, "       0");
  ntfs.InsertRow(2, "不明300.pdf", 0);
  ntfs.SetCell(2, 4, "<不明>");
  ntfs.SetCell(2, 6, "     300");
  ASSERT_EQ(KindOfList(ntfs), ListKind::kNtfs);
  // The column headings say nothing: a list with none of its own is told by its rows.
  ResultList bare;
  bare.InsertRow(0, "a.txt", 0);
  bare.SetCell(0, 4, "1970/01/01 09:00:00.000");
  EXPECT_EQ(KindOfList(bare), ListKind::kNtfs);
  bare.SetCell(0, 4, "2024/05/06 07:08:10");
  EXPECT_EQ(KindOfList(bare), ListKind::kFatFamily);

  const RowItem byNumber = ReadRowItem(ntfs, 0, ListKind::kNtfs);
  ASSERT_TRUE(std::holds_alternative<ntfs::FoundRecord>(byNumber));
  EXPECT_EQ(std::get<ntfs::FoundRecord>(byNumber).source, (ntfs::NtfsRecordSource{64, 0, 0}));
  EXPECT_EQ(std::get<ntfs::FoundRecord>(byNumber).folder, "docs");
  const RowItem atSlot = ReadRowItem(ntfs, 1, ListKind::kNtfs);
  ASSERT_TRUE(std::holds_alternative<ntfs::FoundRecord>(atSlot));
  EXPECT_EQ(std::get<ntfs::FoundRecord>(atSlot).source, (ntfs::NtfsRecordSource{0, 300, 0}));
  EXPECT_TRUE(std::holds_alternative<content::FoundContent>(ReadRowItem(ntfs, 2, ListKind::kNtfs)));
}

// In the window, rows of another volume are asked about, No by default.
TEST(RowItem, RowsOfAnotherVolumeAreAskedAboutInTheWindow) {
  Command search(Image("fat16.img"));
  ASSERT_EQ(OnSearch(search.context), 1);
  const size_t rows = search.list.RowCount();
  for (const bool yes : {false, true}) {
    SCOPED_TRACE(yes);
    testing::TempDir out("vellum-row-item-");
    Command restore(Image("fat16-cp932.img"));
    if (yes) restore.messages.answers.push_back(MessageAnswer::Yes);
    RestoreRequest request{out.Path(), &search.list, {}, 0};
    request.askAboutForeignRows = true;
    RestoreSummary summary;
    ASSERT_EQ(OnRestore(restore.context, request, summary), 1);
    ASSERT_FALSE(restore.messages.shown.empty());
    EXPECT_NE(restore.messages.shown[0].find(std::to_string(rows) + " 行は、このボリュームに見つかりません"),
              std::string::npos)
        << restore.messages.shown[0];
    EXPECT_EQ(summary.outcomes.WithReason(restore::kReasonNotOnVolume), yes ? 0u : rows);
    EXPECT_EQ(summary.outcomes.Files() > 0, yes);
  }
  // Rows of the volume itself ask nothing.
  testing::TempDir out("vellum-row-item-");
  Command restore(Image("fat16.img"));
  RestoreRequest request{out.Path(), &search.list, {}, 0};
  request.askAboutForeignRows = true;
  RestoreSummary summary;
  ASSERT_EQ(OnRestore(restore.context, request, summary), 1);
  EXPECT_TRUE(restore.messages.shown.empty());
  EXPECT_EQ(summary.outcomes.WithReason(restore::kReasonNotOnVolume), 0u);
}

}  // namespace
}  // namespace vellum::app
