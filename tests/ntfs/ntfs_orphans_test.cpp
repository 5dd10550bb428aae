// File records lying in free clusters of an NTFS volume, outside its master
// file table: ntfs-orphans.img holds the raw records of another volume in the
// clusters of a deleted file (tools/fixtures/make_ntfs_orphans.sh). The
// search command's free-cluster scan lists them by cluster and slot; the
// table walk alone does not see them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "app/search_command.h"
#include "support/scripted_messages.h"
#include "support/tsk.h"

namespace vellum::ntfs {
namespace {

const std::string kImage = std::string(VELLUM_TEST_IMAGES) + "/ntfs-orphans.img";
constexpr const char* kStamp = "2024/05/06 07:08:10.000";

class WholeVolume : public ClusterRangeAsker {
 public:
  bool RunClusterRangeDialog(uint64_t&, uint64_t&) override { return true; }
};

struct Search {
  volume::ScanState state;
  app::ResultList list;
  testing::ScriptedMessages messages;
  volume::DriveTable drives;
  WholeVolume range;
  app::CommandContext context{state, list, messages};

  explicit Search(MessageAnswer scanFreeClusters, const std::string& image = kImage) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    std::string error;
    EXPECT_TRUE(volume::AppendImage(drives, image, error)) << error;
    context.volume.drives = &drives;
    context.volume.selectedIndex = 0;
    context.rangeAsker = &range;
    messages.answers = {scanFreeClusters};
  }
  const std::string& Root() const { return drives.entries[0].rootText; }
};

// The clusters The Sleuth Kit gives for the deleted file that carried the
// records: the only place on this volume where they can be.
std::vector<uint64_t> CarrierClusters() {
  const auto deleted = testing::ReadTskDeleted(kImage);
  for (const testing::TskEntry& e : deleted) {
    if (e.name != "records.bin") continue;
    const std::string stat = testing::RunCommand("istat '" + kImage + "' " + e.inode.substr(0, e.inode.find('-')));
    const std::string data = testing::TskField(stat, "Type: $DATA (128-");
    std::istringstream runs(testing::TskField(stat, data + "\n"));
    std::vector<uint64_t> clusters;
    for (uint64_t c; runs >> c;) clusters.push_back(c);
    return clusters;
  }
  return {};
}

std::string Padded(uint64_t n) {
  std::string text = std::to_string(n);
  return std::string(text.size() < 8 ? 8 - text.size() : 0, ' ') + text;
}

struct Orphan {
  std::string name;
  bool underUnknown;  // its folder's record number is a file on this volume
  const char* size;   // empty for a folder
  size_t cluster;     // which of the carrier's clusters
  uint32_t slot;
};

// Records 64 to 70 of the volume they were copied from, in order. The long
// name runs over the end of its record's first sector, so it reads right only
// with the fixups applied. 70 was deleted there before the copy: the scan
// does not look at the in-use flag.
const Orphan kOrphans[] = {
    {"旅行", false, "", 0, 0},
    {"日程表.txt", true, "39", 0, 1},
    {"map.bin", true, "5000", 0, 2},
    {"notes.txt", false, "23", 0, 3},
    {"crosses-the-sector-end-" + std::string(133, 'x') + ".txt", false, "29", 1, 0},
    {"写真.txt", false, "17", 1, 1},
    {"消したファイル.txt", false, "39", 1, 2},
};

TEST(NtfsOrphanRecords, FreeClusterScanListsThemAtTheirClusterAndSlot) {
  const std::vector<uint64_t> carrier = CarrierClusters();
  ASSERT_EQ(carrier.size(), 2u) << "records.bin should span two clusters";
  Search search(MessageAnswer::Yes);
  ASSERT_EQ(app::OnSearch(search.context), 1);
  const app::ResultList& list = search.list;
  ASSERT_EQ(list.ColumnCount(), 8u);

  std::set<size_t> matched;
  for (const Orphan& o : kOrphans) {
    SCOPED_TRACE(o.name);
    size_t row = 0;
    while (row < list.RowCount() && list.Cell(row, 0) != o.name) ++row;
    ASSERT_LT(row, list.RowCount()) << "not listed";
    matched.insert(row);
    // The folder record 64 named as parent here is the deleted records.bin:
    // no folder, so the path cannot be rebuilt.
    EXPECT_EQ(list.Cell(row, 1), search.Root() + (o.underUnknown ? "<不明>" : ""));
    EXPECT_EQ(list.Cell(row, 2), o.size);
    EXPECT_EQ(list.Cell(row, 4), kStamp);
    EXPECT_EQ(list.Cell(row, 5), "");
    EXPECT_EQ(list.Cell(row, 6), Padded(carrier[o.cluster]));
    EXPECT_EQ(list.Cell(row, 7), Padded(o.slot));
  }
  // The free-scan rows are exactly these; the table walk's rows carry a
  // record number instead. Slot 3 of the second cluster is zeros.
  for (size_t row = 0; row < list.RowCount(); ++row) {
    if (matched.count(row)) continue;
    EXPECT_EQ(list.Cell(row, 6), "") << list.Cell(row, 0);
    EXPECT_NE(list.Cell(row, 5), "") << list.Cell(row, 0);
  }
}

TEST(NtfsOrphanRecords, TableWalkAloneDoesNotSeeThem) {
  Search search(MessageAnswer::No);
  ASSERT_EQ(app::OnSearch(search.context), 1);
  const app::ResultList& list = search.list;
  EXPECT_EQ(list.ColumnCount(), 6u);
  std::vector<std::string> names;
  for (size_t row = 0; row < list.RowCount(); ++row) names.emplace_back(list.Cell(row, 0));
  // The carrier itself is a deleted record of this table.
  EXPECT_EQ(names, std::vector<std::string>{"records.bin"});
  ASSERT_EQ(list.RowCount(), 1u);
  EXPECT_EQ(list.Cell(0, 5), "      64");
  EXPECT_EQ(list.Cell(0, 2), "7168");
}

// map.bin's orphaned record made to claim 1 TiB, as garbage read as a record
// can: the scan no longer lists it (a restore of it would write on and on),
// and the other records stay.
TEST(NtfsOrphanRecords, ARecordClaimingMoreThanTheVolumeIsNotListed) {
  std::ifstream in(kImage, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  // The record whose own name is map.bin (its folder's index names it too):
  // the one holding a non-resident $DATA.
  const std::string name = std::string("m\0a\0p\0.\0b\0i\0n\0", 14);
  auto byteAt = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])); };
  size_t data = std::string::npos;
  for (size_t at = bytes.find(name); at != std::string::npos && data == std::string::npos;
       at = bytes.find(name, at + 1)) {
    const size_t record = at - at % 1024;
    if (bytes.compare(record, 4, "FILE") != 0) continue;
    for (size_t a = record + (byteAt(record + 0x14) | byteAt(record + 0x15) << 8); a + 0x40 < record + 1024;) {
      const uint32_t length = byteAt(a + 4) | byteAt(a + 5) << 8;
      if (byteAt(a) == 0xFF || length == 0) break;
      if (byteAt(a) == 0x80 && byteAt(a + 8) == 1) data = a;
      a += length;
    }
  }
  ASSERT_NE(data, std::string::npos);
  bytes[data + 0x30 + 5] = 1;  // the non-resident data size (at 0x30) gains 2^40 bytes
  const std::string patched = ::testing::TempDir() + "/ntfs-orphans-huge.img";
  std::ofstream(patched, std::ios::binary) << bytes;

  Search search(MessageAnswer::Yes, patched);
  ASSERT_EQ(app::OnSearch(search.context), 1);
  std::set<std::string> names;
  for (size_t row = 0; row < search.list.RowCount(); ++row) names.emplace(search.list.Cell(row, 0));
  EXPECT_EQ(names.count("map.bin"), 0u);
  EXPECT_EQ(names.count("notes.txt"), 1u);
  std::remove(patched.c_str());
}

}  // namespace
}  // namespace vellum::ntfs
