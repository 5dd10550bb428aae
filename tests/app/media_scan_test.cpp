// The free-cluster scan on volumes whose sample files were written by the
// file systems' own drivers and then deleted: every sample is listed at its
// first cluster with its extension and the size its rule gives; and what a
// Cancel during a size analysis leaves in the list.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/search_command.h"
#include "support/cancelling_progress.h"
#include "support/content_samples.h"
#include "support/scripted_messages.h"
#include "support/tsk.h"
#include "volume/sector_io.h"

namespace vellum::app {
namespace {

class ProposedRange : public ClusterRangeAsker {
 public:
  bool RunClusterRangeDialog(uint64_t&, uint64_t&) override { return true; }
};

class MediaImage : public ::testing::TestWithParam<const char*> {};

TEST_P(MediaImage, FreeClusterScanListsEverySampleWithItsRuleSize) {
  const std::string image = std::string(VELLUM_TEST_IMAGES) + "/" + GetParam() + ".img";
  volume::ScanState state;
  ResultList list;
  testing::ScriptedMessages messages;
  messages.answers = {MessageAnswer::Yes};  // scan the free clusters
  volume::DriveTable drives;
  std::string error;
  ASSERT_TRUE(volume::AppendImage(drives, image, error)) << error;
  CommandContext context(state, list, messages);
  context.volume.drives = &drives;
  context.volume.selectedIndex = 0;
  ProposedRange range;
  context.rangeAsker = &range;
  ASSERT_EQ(OnSearch(context), 1);

  const bool ntfs = state.fsKind == volume::kNtfs;
  const auto deleted = testing::ReadTskDeleted(image);
  size_t checked = 0;
  for (const testing::Sample& s : testing::kSamples) {
    // A deleted 8.3 name has lost its first letter to the deleted mark.
    const std::string file = s.file;
    auto e = std::find_if(deleted.begin(), deleted.end(), [&](const auto& d) {
      return d.name == file || (d.name.size() == file.size() && d.name.substr(1) == file.substr(1));
    });
    // Missing: its NTFS record was reused by the next file deleted.
    if (e == deleted.end()) continue;
    SCOPED_TRACE(s.file);
    uint64_t cluster = 0;
    std::string size = e->size;
    if (ntfs) {
      // istat lists an NTFS file's clusters under its $DATA line; a resident
      // one (small enough to live inside its record) has none.
      const std::string stat = testing::RunCommand("istat '" + image + "' " + e->inode.substr(0, e->inode.find('-')));
      const std::string data = testing::TskField(stat, "Type: $DATA (128-");
      if (data.find("Non-Resident") == std::string::npos) continue;
      size = data.substr(data.find("size: ") + 6);
      size = size.substr(0, size.find(' '));
      cluster = std::stoull(testing::TskField(stat, data + "\n"));
    } else {
      if (!e->hasSectors) continue;
      cluster = (e->firstSector - state.firstDataSector) / state.sectorsPerCluster + 2;
    }
    const std::string name = "不明" + std::to_string(cluster) + "." + s.ext;
    size_t row = 0;
    while (row < list.RowCount() && list.Cell(row, 0) != name) ++row;
    ASSERT_LT(row, list.RowCount()) << name << " not listed";
    EXPECT_EQ(list.Cell(row, 1), drives.entries[0].rootText + "<不明>");
    EXPECT_EQ(list.Cell(row, 4), "<不明>");
    if (s.ruleSize != testing::kToVolumeEnd) {
      const uint64_t expected = s.ruleSize != 0 ? s.ruleSize : std::stoull(size);
      EXPECT_EQ(std::stoull(std::string(list.Cell(row, 2))), expected) << s.why;
    }
    ++checked;
  }
  EXPECT_GT(checked, 25u);
}

INSTANTIATE_TEST_SUITE_P(Volumes, MediaImage, ::testing::Values("media-fat32", "media-exfat", "media-ntfs"),
                         [](const auto& info) {
                           std::string n = info.param;
                           std::replace(n.begin(), n.end(), '-', '_');
                           return n;
                         });

}  // namespace
}  // namespace vellum::app

namespace vellum::app {
namespace {

class FixedRange : public ClusterRangeAsker {
 public:
  FixedRange(uint64_t first, uint64_t last) : first_(first), last_(last) {}
  bool RunClusterRangeDialog(uint64_t& start, uint64_t& end) override {
    start = first_;
    end = last_;
    return true;
  }

 private:
  uint64_t first_, last_;
};

// A command run on an image of tests/data over the cluster range [first, last].
struct ImageCommand {
  explicit ImageCommand(const char* name) : image(std::string(VELLUM_TEST_IMAGES) + "/" + name) {
    messages.answers = {MessageAnswer::Yes};
  }
  void Prepare(uint64_t first, uint64_t last) {
    std::string error;
    if (!volume::AppendImage(drives, image, error)) ADD_FAILURE() << error;
    context.volume.drives = &drives;
    context.volume.selectedIndex = 0;
    range = FixedRange(first, last);
    context.rangeAsker = &range;
  }

  const std::string image;
  volume::ScanState state;
  ResultList list;
  testing::ScriptedMessages messages;
  volume::DriveTable drives;
  CommandContext context{state, list, messages};
  FixedRange range{0, 0};
};

// The full cluster scan command.
struct FullScan : ImageCommand {
  using ImageCommand::ImageCommand;
  int Run(uint64_t first, uint64_t last) {
    Prepare(first, last);
    return OnFullClusterScan(context);
  }
};

TEST(FullClusterScan, NtfsRecordsAreListedWithTheirClusterAndSlot) {
  FullScan scan("ntfs-4k.img");
  scan.context.options.analyse = false;
  scan.context.options.zeroSize = true;
  // The volume's own metadata files are in use: listed only when asked for.
  {
    FullScan plain("ntfs-4k.img");
    plain.context.options.analyse = false;
    plain.context.options.zeroSize = true;
    ASSERT_EQ(plain.Run(4, 4), 1);
    EXPECT_EQ(plain.list.RowCount(), 0u);
  }
  scan.context.options.inUse = true;
  // The first cluster of the live table: records 0 to 3.
  ASSERT_EQ(scan.Run(4, 4), 1);
  const ResultList& list = scan.list;
  ASSERT_EQ(list.ColumnCount(), 8u);
  EXPECT_EQ(list.ColumnAt(6).heading, "スキャンクラスタ");
  EXPECT_EQ(list.ColumnAt(7).heading, "番号");
  std::vector<std::string> found;
  for (size_t row = 0; row < list.RowCount(); ++row) {
    EXPECT_EQ(list.Cell(row, 6), "       4");
    EXPECT_EQ(list.Cell(row, 5), "");
    found.push_back(std::string(list.Cell(row, 0)) + "@" + std::string(list.Cell(row, 7)));
  }
  EXPECT_EQ(found, (std::vector<std::string>{"$MFT@       0", "$MFTMirr@       1", "$LogFile@       2",
                                             "$Volume@       3"}));
}

}  // namespace
}  // namespace vellum::app

namespace vellum::app {
namespace {

// The first cluster of a deleted, non-resident file of an NTFS image.
uint64_t FirstClusterOf(const std::string& image, const std::string& file) {
  for (const testing::TskEntry& e : testing::ReadTskDeleted(image)) {
    if (e.name != file) continue;
    const std::string stat = testing::RunCommand("istat '" + image + "' " + e.inode.substr(0, e.inode.find('-')));
    return std::stoull(testing::TskField(stat, testing::TskField(stat, "Type: $DATA (128-") + "\n"));
  }
  ADD_FAILURE() << file << " is not a deleted file of " << image;
  return 0;
}

// The search command on media-ntfs.img with the free-cluster scan over
// [first, last], whose user presses Cancel at the scan's n-th poll. Only
// size analyses poll there, once per cluster they read.
struct CancelledScan : ImageCommand {
  CancelledScan() : ImageCommand("media-ntfs.img") {}
  testing::ProgressLog scanLog;

  // pump 0: Cancel is never pressed.
  void Run(uint64_t first, uint64_t last, int pump, MessageAnswer scan = MessageAnswer::Yes) {
    Prepare(first, last);
    messages.answers = {scan};
    int made = 0;
    // The table walk's window is never cancelled; the scan's is.
    context.newProgress = [&]() -> std::unique_ptr<Progress> {
      if (made++ == 0) return std::make_unique<testing::CancelOnPump>(0);
      return std::make_unique<testing::CancelOnPump>(pump, &scanLog);
    };
    ASSERT_EQ(OnSearch(context), 1);
  }

  // "name size" of each row content analysis added, in order.
  std::vector<std::string> ContentRows() const {
    std::vector<std::string> out;
    for (size_t row = 0; row < list.RowCount(); ++row) {
      if (list.Cell(row, 4) != "<不明>") continue;
      std::string size(list.Cell(row, 2));
      out.push_back(std::string(list.Cell(row, 0)) + " " + size.erase(0, size.find_first_not_of(' ')));
    }
    return out;
  }
  // The rows of the table walk, which carry a record number.
  size_t TableRows() const {
    size_t n = 0;
    for (size_t row = 0; row < list.RowCount(); ++row) n += !list.Cell(row, 5).empty();
    return n;
  }
};

size_t TableRowsWithoutScan() {
  CancelledScan plain;
  plain.Run(0, 0, 0, MessageAnswer::No);
  return plain.TableRows();
}

std::string Row(uint64_t cluster, const char* ext, uint64_t size) {
  return "不明" + std::to_string(cluster) + "." + ext + " " + std::to_string(size);
}

// clip.m1v has no end code: its size analysis would read to the volume's end,
// which is where a user presses Cancel. The fragment is not listed, the AVI
// before it (measured without polling) is, and the scan ends there.
TEST(CancelDuringSizeAnalysis, DropsTheImageBeingMeasuredKeepsEarlierRowsAndEndsTheScan) {
  CancelledScan scan;
  const uint64_t avi = FirstClusterOf(scan.image, "clip.avi");
  const uint64_t m1v = FirstClusterOf(scan.image, "clip.m1v");
  ASSERT_LT(avi, m1v);
  // Polls 1 and 2 read the m1v's first two clusters; Cancel comes at the third.
  scan.Run(avi, m1v + 40, 3);
  EXPECT_EQ(scan.scanLog.pumps, 3);
  EXPECT_EQ(scan.ContentRows(), std::vector<std::string>{Row(avi, "avi", 14010)});
  // No later analysis polled, and the counter never passed the m1v.
  EXPECT_TRUE(scan.scanLog.updated);
  EXPECT_LE(scan.scanLog.lastUpdate, m1v);
  EXPECT_EQ(scan.TableRows(), TableRowsWithoutScan());
}

// A ZIP cut short by Cancel is still listed, with the size measured so far.
// Its end record was not reached: the scan searched 4096 - 3 offsets of the
// first cluster (3 bytes carry over to the next), and the rule counts a
// 22-byte end record starting 4 bytes before where the search stopped.
TEST(CancelDuringSizeAnalysis, KeepsTheZipBeingMeasuredWithItsPartialSize) {
  CancelledScan scan;
  const uint64_t pdf = FirstClusterOf(scan.image, "plain.pdf");
  const uint64_t zip = FirstClusterOf(scan.image, "plain.zip");
  ASSERT_EQ(zip, pdf + 1);
  // Poll 1: the PDF's one cluster, %%EOF found; poll 2: the ZIP's first
  // cluster; Cancel at poll 3, before its second.
  scan.Run(pdf, zip + 20, 3);
  EXPECT_EQ(scan.scanLog.pumps, 3);
  const uint64_t partial = (4096 - 3) - 4 + 22;
  EXPECT_EQ(scan.ContentRows(), (std::vector<std::string>{Row(pdf, "pdf", 2334), Row(zip, "zip", partial)}));
  EXPECT_LE(scan.scanLog.lastUpdate, zip);
}

// A command cancelled earlier leaves its mark in the state; the next full
// scan must not take it for a Cancel of its own and drop the video it measures.
TEST(FullClusterScan, AfterACancelledCommandStillListsImages) {
  FullScan scan("media-ntfs.img");
  const uint64_t mp4 = FirstClusterOf(scan.image, "clip.mp4");
  scan.state.cancelled = 1;
  ASSERT_EQ(scan.Run(mp4, mp4), 1);
  bool listed = false;
  for (size_t row = 0; row < scan.list.RowCount(); ++row)
    listed = listed || scan.list.Cell(row, 0) == "不明" + std::to_string(mp4) + ".mp4";
  EXPECT_TRUE(listed);
}

}  // namespace
}  // namespace vellum::app
