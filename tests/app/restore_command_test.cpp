#include "app/restore_command.h"
#include "app/wipe_command.h"
#include "fat/wipe.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/progress_model.h"
#include "app/row_item.h"
#include "support/cancelling_progress.h"
#include "support/command_fixture.h"
#include "support/faulty_device.h"
#include "support/scripted_messages.h"
#include "support/tsk.h"
#include "volume/listing.h"
#include "volume/sector_io.h"

namespace vellum::app {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedMessages;

std::string Image(const char* name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return std::move(bytes).str();
}

using testing::Command;

class TempDir : public testing::TempDir {
 public:
  TempDir() : testing::TempDir("vellum-restore-cmd-") {}
};

// Every deleted file the search lists comes back with its size and time, and
// every one whose first cluster is still free byte for byte as The Sleuth
// Kit recovers it.
void RestoreMatchesIcat(const std::string& image) {
  TempDir out;
  Command search(image);
  search.context.options.zeroSize = true;
  ASSERT_EQ(OnSearch(search.context), 1);
  Command restore(image);
  RestoreSummary summary;
  ASSERT_EQ(OnRestore(restore.context, {out.Path("walk"), nullptr, {}, 0}, summary), 1);
  EXPECT_EQ(summary.outcomes.Count(restore::ItemResult::kFailed, false), 0u);

  const auto tsk = testing::ReadTskDeleted(image);
  size_t matched = 0, compared = 0;
  for (size_t row = 0; row < search.list.RowCount(); ++row) {
    if (search.list.DataWord(row) & 1) continue;
    std::string folder(search.list.Cell(row, 1));
    folder.erase(0, folder.find(":/") + 2);
    const std::string name(search.list.Cell(row, 0));
    const std::string restored = out.Path("walk") + "/" + (folder.empty() ? "" : folder + "/") + name;
    SCOPED_TRACE(restored);
    ASSERT_TRUE(fs::exists(restored));
    for (const auto& e : tsk) {
      const bool same = testing::TskNormal(e.folder) == testing::TskNormal(folder) &&
                        (testing::TskNormal(e.name) == testing::TskNormal(name) ||
                         testing::TskNormal(e.shortName) == testing::TskNormal(name));
      if (!same) continue;
      EXPECT_EQ(std::to_string(fs::file_size(restored)), e.size);
      struct stat st {};
      ASSERT_EQ(::stat(restored.c_str(), &st), 0);
      char when[32];
      struct tm local {};
      localtime_r(&st.st_mtime, &local);
      std::strftime(when, sizeof when, "%Y/%m/%d %H:%M:%S", &local);
      EXPECT_EQ(std::string(when), e.written);
      ++matched;
      const uint64_t first = std::stoull(std::string(search.list.Cell(row, 5)));
      // The Sleuth Kit's exFAT recovery has been seen to spin on these
      // images, so contents are compared with it on FAT only.
      const bool exfat = search.state.fsKind == volume::kExfat;
      if (!exfat && volume::ReadFatEntry(search.state, search.state.fat, first) == 0 && e.size != "0") {
        EXPECT_EQ(ReadFile(restored), testing::RunCommand("icat -r '" + image + "' " + e.inode)) << "contents";
        ++compared;
      }
    }
  }
  EXPECT_GT(matched, 5u);
  if (search.state.fsKind != volume::kExfat) {
    EXPECT_GT(compared, 5u);
  }
}

TEST(RestoreWalk, FatFilesComeBackWithTheirSizesAndTimes) { RestoreMatchesIcat(Image("fat16.img")); }
TEST(RestoreWalk, ExfatFilesComeBackWithTheirSizesAndTimes) { RestoreMatchesIcat(Image("exfat-sets.img")); }

TEST(RestoreWalk, ContentsEqualTheSleuthKitsRecovery) {
  TempDir out;
  Command restore(Image("fat32-512.img"));
  RestoreSummary summary;
  ASSERT_EQ(OnRestore(restore.context, {out.Path(), nullptr, {}, 0}, summary), 1);
  // Whole files whose clusters were free: compare with icat -r by entry address.
  const struct {
    const char* restored;
    const char* tskPath;
  } files[] = {{"big-deleted.bin", "big-deleted.bin"},
               {"Deleted long name in root.txt", "Deleted long name in root.txt"},
               {"DOCS/Deleted inside folder.txt", "docs/Deleted inside folder.txt"},
               {"old-project/$HOTOS/Sunset at the beach.jpg", "old-project/_hotos/Sunset at the beach.jpg"}};
  const std::string listing = testing::RunCommand("fls -rd -p '" + Image("fat32-512.img") + "'");
  for (const auto& f : files) {
    SCOPED_TRACE(f.restored);
    const size_t at = listing.find(std::string("\t") + f.tskPath + "\n");
    ASSERT_NE(at, std::string::npos);
    const size_t lineStart = listing.rfind('\n', at) + 1;
    const std::string inode = listing.substr(listing.find("* ", lineStart) + 2,
                                             listing.find(':', lineStart) - listing.find("* ", lineStart) - 2);
    const std::string expected = testing::RunCommand("icat -r '" + Image("fat32-512.img") + "' " + inode);
    EXPECT_EQ(ReadFile(out.Path(f.restored)), expected);
  }
}

TEST(RestoreWalk, NamesCollideIntoNumberedCopies) {
  TempDir out;
  for (int run = 0; run < 3; ++run) {
    Command restore(Image("fat12.img"));
    RestoreSummary summary;
    ASSERT_EQ(OnRestore(restore.context, {out.Path(), nullptr, {}, 0}, summary), 1);
  }
  EXPECT_TRUE(fs::exists(out.Path("big-deleted.bin")));
  EXPECT_TRUE(fs::exists(out.Path("big-deleted_1.bin")));
  EXPECT_TRUE(fs::exists(out.Path("big-deleted_2.bin")));
  EXPECT_FALSE(fs::exists(out.Path("big-deleted_3.bin")));
}

// Searches `image` and restores the rows of big-deleted.bin, old-project and
// todo-deleted.txt into `out`, leaving the search's list to the caller.
RestoreSummary RestoreThreeRows(const std::string& image, const std::string& out, Command& search) {
  EXPECT_EQ(OnSearch(search.context), 1);
  std::vector<size_t> chosen;
  for (size_t row = 0; row < search.list.RowCount(); ++row) {
    const std::string_view name = search.list.Cell(row, 0);
    if (name == "big-deleted.bin" || name == "old-project" || name == "todo-deleted.txt") chosen.push_back(row);
  }
  EXPECT_EQ(chosen.size(), 3u);
  Command restore(image);
  RestoreSummary summary;
  EXPECT_EQ(OnRestore(restore.context, {out, &search.list, chosen, 0}, summary), 1);
  return summary;
}

TEST(RestoreRows, ChosenRowsAndDeletedFoldersWithTheirContents) {
  TempDir out;
  Command search(Image("fat16.img"));
  RestoreThreeRows(Image("fat16.img"), out.Path(), search);
  EXPECT_EQ(fs::file_size(out.Path("big-deleted.bin")), 50000u);
  EXPECT_EQ(fs::file_size(out.Path("DOCS/todo-deleted.txt")), 456u);
  EXPECT_EQ(fs::file_size(out.Path("old-project/$HOTOS/Sunset at the beach.jpg")), 7000u);
  EXPECT_FALSE(fs::exists(out.Path("Deleted-15c.txt")));  // not chosen
  EXPECT_EQ(search.list.RowCount() > 0, true);           // the caller's list is left as it was
}

TEST(Wipe, DeletedEntriesAreGoneAndNothingElseChanged) {
  for (const char* name : {"fat16.img", "exfat.img"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    const std::string copy = dir.Path(name);
    fs::copy_file(Image(name), copy);
    const std::string before = ReadFile(copy);

    Command wipe(copy);
    wipe.messages.answers = {MessageAnswer::Yes};
    ASSERT_EQ(OnCompleteDeletion(wipe.context), 1);
    EXPECT_EQ(wipe.messages.shown.back().rfind(kWipeDoneMessage, 0), 0u) << wipe.messages.shown.back();

    Command search(copy);
    search.context.options.zeroSize = search.context.options.inUse = true;
    OnSearch(search.context);
    EXPECT_EQ(search.list.RowCount(), 0u);
    // Only bytes 1-31 of entries that were deleted changed, and the data of
    // clusters free in the volume's own table; all of them are zero now.
    const std::string after = ReadFile(copy);
    ASSERT_EQ(after.size(), before.size());
    const bool exfat = std::string(name) == "exfat.img";
    const volume::ScanState& s = search.state;
    size_t changed = 0;
    for (size_t i = 0; i < after.size(); ++i) {
      if (after[i] == before[i]) continue;
      ++changed;
      ASSERT_EQ(after[i], '\0') << "offset " << i;
      const uint64_t sector = i / s.bytesPerSector;
      if (sector >= s.firstDataSector && fat::IsFreeOnDisk(s, (sector - s.firstDataSector) / s.sectorsPerCluster + 2))
        continue;
      const size_t entry = i - i % 32;
      const uint8_t type = static_cast<uint8_t>(before[entry]);
      ASSERT_NE(i % 32, 0u) << "offset " << i;
      ASSERT_TRUE(exfat ? (type & 0x80) == 0 : type == 0xE5) << "offset " << i;
      ASSERT_EQ(after[i], '\0');
    }
    EXPECT_GT(changed, 100u);
    for (const auto& e : testing::ReadTskDeleted(copy)) EXPECT_TRUE(e.name.empty() || e.size == "0") << e.name;
  }
}

TEST(Wipe, RefusesNtfsAndAsksFirst) {
  Command ntfs(Image("ntfs-4k.img"));
  EXPECT_EQ(OnCompleteDeletion(ntfs.context), 0);
  EXPECT_EQ(ntfs.messages.shown.back(), kWipeNtfsMessage);
  Command no(Image("fat12.img"));  // the question defaults to No: nothing is written
  EXPECT_EQ(OnCompleteDeletion(no.context), 0);
  // The question, then the image it would write on, on a line of its own.
  EXPECT_EQ(no.messages.shown.back().rfind(kWipeQuestion, 0), 0u);
  EXPECT_NE(no.messages.shown.back().find("\n\nfat12.img:/  " + Image("fat12.img")), std::string::npos)
      << no.messages.shown.back();
}


}  // namespace
}  // namespace vellum::app

namespace vellum::app {
namespace {

// Replaces the first occurrence of `from` with `to` (same length) in a file.
bool Patch(const std::string& path, const std::string& from, const std::string& to) {
  std::string bytes = ReadFile(path);
  const size_t at = bytes.find(from);
  if (at == std::string::npos || from.size() != to.size()) return false;
  bytes.replace(at, to.size(), to);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  return true;
}

TEST(RestoreSafety, NamesThatWouldLeaveTheDestinationAreRefused) {
  using namespace std::string_literals;
  TempDir dir;
  // exFAT names carry no checksum: "exactly15units" simply becomes "..".
  const std::string exfat = dir.Path("damaged-exfat.img");
  fs::copy_file(Image("exfat-sets.img"), exfat);
  ASSERT_TRUE(Patch(exfat, "e\0x\0a\0c\0t\0l\0y\0"s, ".\0.\0\0\0\0\0\0\0\0\0\0\0"s));
  // On FAT the first long name starting "Delet" gets a separator: "De/..".
  const std::string fat = dir.Path("damaged-fat.img");
  fs::copy_file(Image("fat12.img"), fat);
  ASSERT_TRUE(Patch(fat, "D\0e\0l\0e\0t\0"s, "D\0e\0/\0.\0.\0"s));

  RestoreSummary exfatSummary, fatSummary;
  Command exfatRestore(exfat), fatRestore(fat);
  ASSERT_EQ(OnRestore(exfatRestore.context, {dir.Path("out"), nullptr, {}, 0}, exfatSummary), 1);
  ASSERT_EQ(OnRestore(fatRestore.context, {dir.Path("out"), nullptr, {}, 0}, fatSummary), 1);
  EXPECT_EQ(exfatSummary.outcomes.WithReason(restore::kReasonUnsafeName), 1u);
  EXPECT_NE(SummaryText(exfatSummary).find("使えない名前: 1 件"), std::string::npos);
  // The name with '/' never passes the walk's name checks.
  EXPECT_EQ(fatSummary.outcomes.WithReason(restore::kReasonUnsafeName), 0u);
  for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
    const std::string p = entry.path().string();
    EXPECT_TRUE(p == exfat || p == fat || p.starts_with(dir.Path("out"))) << p;
  }
  EXPECT_FALSE(fs::exists(dir.Path("out/De")));
}


}  // namespace
}  // namespace vellum::app

namespace vellum::app {
namespace {

TEST(RestoreRows, NtfsFilesByRecordAndFoldersWithTheirTree) {
  TempDir out;
  Command search(Image("ntfs-4k.img"));
  const RestoreSummary summary = RestoreThreeRows(Image("ntfs-4k.img"), out.Path(), search);
  EXPECT_EQ(fs::file_size(out.Path("big-deleted.bin")), 50000u);
  EXPECT_EQ(fs::file_size(out.Path("docs/todo-deleted.txt")), 456u);
  EXPECT_EQ(fs::file_size(out.Path("old-project/photos/Sunset at the beach.jpg")), 7000u);
  EXPECT_EQ(summary.outcomes.WithReason(restore::kReasonNotRestorable), 0u);
  EXPECT_NE(SummaryText(summary).find("ファイル: 6 件"), std::string::npos) << SummaryText(summary);
}

TEST(RestoreWalk, NtfsNeedsTheFolderToRestore) {
  TempDir out;
  Command none(Image("ntfs-4k.img"));
  RestoreSummary summary;
  EXPECT_EQ(OnRestore(none.context, {out.Path(), nullptr, {}, 0}, summary), 0);
  EXPECT_EQ(none.messages.shown.back(), kNtfsFolderNeededMessage);
  Command folder(Image("ntfs-4k.img"));
  ASSERT_EQ(OnRestore(folder.context, {out.Path(), nullptr, {}, 87}, summary), 1);  // old-project
  EXPECT_EQ(fs::file_size(out.Path("plan.txt")), 1500u);
  EXPECT_EQ(fs::file_size(out.Path("photos/beach.jpg")), 9000u);
}


}  // namespace
}  // namespace vellum::app

namespace vellum::app {
namespace {

TEST(RestoreRows, ContentRowsFollowTheFreeClustersFromTheirFirst) {
  // A row as content analysis writes it, for the data of big-deleted.bin.
  Command search(Image("fat16.img"));
  ASSERT_EQ(OnSearch(search.context), 1);
  std::string cluster;
  for (size_t row = 0; row < search.list.RowCount(); ++row)
    if (search.list.Cell(row, 0) == "big-deleted.bin") cluster = std::string(search.list.Cell(row, 5));
  ASSERT_FALSE(cluster.empty());
  ResultList rows;
  rows.SetClusterColumn(volume::kFat16);
  rows.InsertRow(0, "不明" + cluster + ".bin", 0);
  rows.SetCell(0, 1, "fat16.img:/<不明>");
  rows.SetCell(0, 2, "   50000");
  rows.SetCell(0, 4, "<不明>");
  rows.SetCell(0, 5, "      " + cluster);

  TempDir out;
  Command restore(Image("fat16.img"));
  RestoreSummary summary;
  // No signature begins a text file: the row is made up, so it is restored
  // as asked rather than as found.
  RestoreRequest request{out.Path(), &rows, {}, 0};
  request.force = true;
  ASSERT_EQ(OnRestore(restore.context, request, summary), 1);
  const std::string restored = out.Path("<不明>/不明" + cluster + ".bin");
  const std::string listing = testing::RunCommand("fls -rd -p '" + Image("fat16.img") + "' | grep 'big-deleted'");
  const std::string inode = listing.substr(listing.find("* ") + 2, listing.find(':') - listing.find("* ") - 2);
  EXPECT_EQ(ReadFile(restored), testing::RunCommand("icat -r '" + Image("fat16.img") + "' " + inode));
  EXPECT_EQ(summary.outcomes.Files(), 1u);
}


}  // namespace
}  // namespace vellum::app

namespace vellum::app {
namespace {

// The bytes the fixture scripts wrote into a file: lines "<tag> %08d" cut to its size.
std::string Expected(const std::string& tag, size_t size) {
  std::string s;
  char line[96];
  for (int i = 0; s.size() < size; ++i) {
    std::snprintf(line, sizeof line, "%s %08d\n", tag.c_str(), i);
    s += line;
  }
  return s.substr(0, size);
}

// Sectors per cluster stored as 0xF4 mean 2^12, not 244: the table is found,
// the deleted files listed and restored as written, the large one across
// three 2 MiB clusters.
TEST(RestoreRows, NtfsWithTwoMebibyteClustersIsSearchedAndRestored) {
  Command search(Image("ntfs-big-clusters.img"));
  ASSERT_EQ(OnSearch(search.context), 1);
  EXPECT_EQ(search.state.clusterBytes, 2u << 20);
  const struct {
    const char* name;
    const char* tag;
    size_t size;
    const char* where;
  } files[] = {{"deleted-small.txt", "small", 1500, "deleted-small.txt"},
               {"deleted-large.bin", "large", 5000000, "deleted-large.bin"},
               {"deleted-inside.bin", "inside", 70000, "kept/deleted-inside.bin"}};
  ASSERT_EQ(search.list.RowCount(), std::size(files));
  TempDir out;
  Command restore(Image("ntfs-big-clusters.img"));
  RestoreSummary summary;
  ASSERT_EQ(OnRestore(restore.context, {out.Path(), &search.list, {}, 0}, summary), 1);
  EXPECT_TRUE(summary.outcomes.AllIntact()) << SummaryText(summary);
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    EXPECT_TRUE(ReadFile(out.Path(f.where)) == Expected(f.tag, f.size));
  }
}

TEST(RestoreWalk, ExfatContentsAreTheBytesTheFixturesWrote) {
  TempDir out;
  Command restore(Image("exfat.img"));
  RestoreSummary summary;
  ASSERT_EQ(OnRestore(restore.context, {out.Path(), nullptr, {}, 0}, summary), 1);
  std::ifstream manifest(std::string(VELLUM_TEST_DATA) + "/expected.tsv");
  size_t compared = 0;
  for (std::string line; std::getline(manifest, line);) {
    std::istringstream fields(line);
    std::string path, type, size, state, tag;
    if (!std::getline(fields, path, '\t') || !std::getline(fields, type, '\t') || !std::getline(fields, size, '\t') ||
        !std::getline(fields, state, '\t') || !std::getline(fields, tag, '\t'))
      continue;
    // Deleted files of the root and of deleted folders; the exFAT walk does
    // not enter live folders, and empty files have no first cluster.
    const bool inLiveFolder = path.starts_with("/docs/") || path.starts_with("/日本語");
    if (type != "file" || state != "deleted" || size == "0" || size == "*" || inLiveFolder) continue;
    SCOPED_TRACE(path);
    EXPECT_EQ(ReadFile(out.Path() + path), Expected(tag, std::stoul(size)));
    ++compared;
  }
  EXPECT_EQ(compared, 8u);
}


}  // namespace
}  // namespace vellum::app

namespace vellum::app {
namespace {

// The progress of a row restore counts bytes: the chosen files' sizes in
// all, and what was written (a chosen folder's contents too) at the end.
TEST(RestoreRows, ProgressCountsTheBytesWritten) {
  struct Phase {
    std::string caption;
    uint64_t total = 0, last = 0;
  } phase;
  struct Recording : testing::CancelOnPump {
    explicit Recording(Phase& p) : CancelOnPump(0), phase(p) {}
    void StartPhase(std::string_view caption, uint64_t total) override { phase = {std::string(caption), total, 0}; }
    int Update(uint64_t current) override { return phase.last = current, 1; }
    Phase& phase;
  };
  TempDir out;
  Command search(Image("fat16.img"));
  ASSERT_EQ(OnSearch(search.context), 1);
  std::vector<size_t> chosen = testing::RowsNamed(search.list, "big-deleted.bin");
  for (size_t row : testing::RowsNamed(search.list, "old-project")) chosen.push_back(row);
  ASSERT_EQ(chosen.size(), 2u);
  Command restore(Image("fat16.img"));
  restore.context.newProgress = [&phase] { return std::make_unique<Recording>(phase); };
  RestoreSummary summary;
  ASSERT_EQ(OnRestore(restore.context, {out.Path(), &search.list, chosen, 0}, summary), 1);
  EXPECT_EQ(phase.caption, kRestoreBytesCaption);
  EXPECT_EQ(phase.total, 50000u);
  EXPECT_GT(phase.last, 50000u + 7000u);
  EXPECT_EQ(phase.last, restore.state.restoredBytes);
}

TEST(RestoreWalk, ACancelledRestoreSaysSo) {
  TempDir out;
  Command restore(Image("fat12.img"));
  restore.context.newProgress = [] { return std::make_unique<testing::CancellingProgress>(); };
  RestoreSummary summary;
  ASSERT_EQ(OnRestore(restore.context, {out.Path(), nullptr, {}, 0}, summary), 1);
  EXPECT_TRUE(summary.cancelled);
  EXPECT_EQ(SummaryText(summary).rfind("復元を中止しました。", 0), 0u);
}


}  // namespace
}  // namespace vellum::app

namespace vellum::app {
namespace {

// Counts the reads that touch one byte range of the device.
class CountingReads : public platform::BlockDevice {
 public:
  CountingReads(std::unique_ptr<platform::BlockDevice> base, uint64_t at, uint64_t length, size_t& count)
      : base_(std::move(base)), at_(at), length_(length), count_(count) {}
  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    if (offset < at_ + length_ && at_ < offset + out.size()) ++count_;
    return base_->Read(offset, out);
  }
  bool Write(uint64_t offset, std::span<const uint8_t> bytes) override { return base_->Write(offset, bytes); }
  uint64_t Size() const override { return base_->Size(); }
  uint32_t SectorSize() const override { return base_->SectorSize(); }
  bool Writable() const override { return base_->Writable(); }
  std::string LastError() const override { return base_->LastError(); }

 private:
  std::unique_ptr<platform::BlockDevice> base_;
  uint64_t at_, length_;
  size_t& count_;
};

// Rows of recognised contents on NTFS follow the cluster bitmap; however
// many are restored, the bitmap is read from the volume once.
TEST(RestoreRows, TheNtfsClusterBitmapIsReadOncePerRestore) {
  const std::string image = Image("media-ntfs.img");
  Command scan(image);
  scan.messages.answers = {MessageAnswer::Yes};  // the free-cluster scan
  struct WholeVolume : ClusterRangeAsker {
    bool RunClusterRangeDialog(uint64_t&, uint64_t&) override { return true; }
  } range;
  scan.context.rangeAsker = &range;
  ASSERT_EQ(OnSearch(scan.context), 1);
  std::vector<size_t> content;
  for (size_t row = 0; row < scan.list.RowCount(); ++row)
    if (std::holds_alternative<content::FoundContent>(ReadRowItem(scan.list, row, ListKind::kNtfs)))
      content.push_back(row);
  ASSERT_GT(content.size(), 10u);

  // Where $Bitmap's data lies, as The Sleuth Kit reads record 6.
  const std::string stat = testing::RunCommand("istat '" + image + "' 6");
  const size_t data = stat.find("Type: $DATA");
  ASSERT_NE(data, std::string::npos);
  const uint64_t cluster = std::stoull(stat.substr(stat.find('\n', data) + 1));
  const uint64_t at = cluster * scan.state.clusterBytes;

  size_t reads = 0;
  TempDir out;
  Command restore(image);
  restore.context.volume.wrapDevice = [&](std::unique_ptr<platform::BlockDevice> d) {
    return std::unique_ptr<platform::BlockDevice>(new CountingReads(std::move(d), at, 1, reads));
  };
  RestoreSummary summary;
  ASSERT_EQ(OnRestore(restore.context, {out.Path(), &scan.list, content, 0}, summary), 1);
  EXPECT_EQ(summary.outcomes.Files(), content.size());
  EXPECT_EQ(reads, 1u);
}


// With force every row is restored whatever the check finds, so the check
// is not run: from the list of a free-cluster scan of a formatted card, whose
// check walks and scans the volume, one photo costs reads of its own clusters.
// The range dialog answered with the range it offers: the whole volume.
class OfferedRange : public ClusterRangeAsker {
 public:
  bool RunClusterRangeDialog(uint64_t&, uint64_t&) override { return true; }
};

TEST(RestoreRows, ForceLeavesOutTheCheckThatReadsTheVolume) {
  Command search(Image("camera-fat32-formatted.img"));
  search.messages.answers = {MessageAnswer::Yes};  // the free-cluster scan
  OfferedRange range;
  search.context.rangeAsker = &range;
  ASSERT_EQ(OnSearch(search.context), 1);
  ASSERT_GT(search.list.RowCount(), 0u) << ::testing::PrintToString(search.messages.shown);
  // A photo's entry read from an orphaned folder cluster, not a content row.
  size_t orphan = search.list.RowCount();
  for (size_t row = 0; row < search.list.RowCount() && orphan == search.list.RowCount(); ++row)
    if (search.list.Cell(row, 1).find("<不明>") != std::string_view::npos && search.list.Cell(row, 4) != "<不明>" &&
        search.list.Cell(row, 0).ends_with(".JPG"))
      orphan = row;
  ASSERT_LT(orphan, search.list.RowCount());
  // As a list saved before rows named the cluster their entry was read from.
  search.list.SetDataWord(orphan, search.list.DataWord(orphan) & 7);
  const auto readsFor = [&](bool force) {
    Command restore(Image("camera-fat32-formatted.img"));
    testing::FaultyDevice* device = nullptr;
    restore.context.volume.wrapDevice = [&](std::unique_ptr<platform::BlockDevice> d) {
      auto counting = std::make_unique<testing::FaultyDevice>(std::move(d));
      device = counting.get();
      return std::unique_ptr<platform::BlockDevice>(std::move(counting));
    };
    TempDir out;
    RestoreSummary summary;
    RestoreRequest request{out.Path(), &search.list, {orphan}, 0};
    request.force = force;
    EXPECT_EQ(OnRestore(restore.context, request, summary), 1);
    EXPECT_EQ(summary.outcomes.Files(), 1u) << SummaryText(summary);
    return device ? device->reads : 0;
  };
  const uint64_t checked = readsFor(false), forced = readsFor(true);
  EXPECT_LT(forced * 4, checked) << forced << " reads with force, " << checked << " without";
}

// A row a free-cluster scan read from an orphaned folder cluster names that
// cluster: the check reads it again, not the volume, so it costs about what
// the photo's own clusters cost. Moved to a cluster that holds no such
// entry, the row is not on the volume.
TEST(RestoreRows, ScannedRowIsCheckedInTheClusterItsEntryWasReadFrom) {
  Command search(Image("camera-fat32-formatted.img"));
  search.messages.answers = {MessageAnswer::Yes};  // the free-cluster scan
  OfferedRange range;
  search.context.rangeAsker = &range;
  ASSERT_EQ(OnSearch(search.context), 1);
  size_t orphan = search.list.RowCount();
  for (size_t row = 0; row < search.list.RowCount() && orphan == search.list.RowCount(); ++row)
    if (search.list.Cell(row, 1).find("<不明>") != std::string_view::npos && search.list.Cell(row, 4) != "<不明>" &&
        search.list.Cell(row, 0).ends_with(".JPG"))
      orphan = row;
  ASSERT_LT(orphan, search.list.RowCount());
  const uint64_t slot = volume::RowSlotCluster(search.list.DataWord(orphan));
  ASSERT_GE(slot, 2u);
  const auto restore = [&](bool force, RestoreSummary& summary) {
    Command command(Image("camera-fat32-formatted.img"));
    testing::FaultyDevice* device = nullptr;
    command.context.volume.wrapDevice = [&](std::unique_ptr<platform::BlockDevice> d) {
      auto counting = std::make_unique<testing::FaultyDevice>(std::move(d));
      device = counting.get();
      return std::unique_ptr<platform::BlockDevice>(std::move(counting));
    };
    TempDir out;
    RestoreRequest request{out.Path(), &search.list, {orphan}, 0};
    request.force = force;
    EXPECT_EQ(OnRestore(command.context, request, summary), 1);
    return device ? device->reads : 0;
  };
  RestoreSummary checkedSummary, forcedSummary, movedSummary;
  const uint64_t checked = restore(false, checkedSummary), forced = restore(true, forcedSummary);
  EXPECT_EQ(checkedSummary.outcomes.Files(), 1u) << SummaryText(checkedSummary);
  EXPECT_LE(checked, forced + 2) << forced << " reads with force, " << checked << " without";

  search.list.SetDataWord(orphan, (search.list.DataWord(orphan) & 7) | volume::RowSlotClusterBits(slot + 1));
  restore(false, movedSummary);
  EXPECT_EQ(movedSummary.outcomes.Files(), 0u);
  EXPECT_EQ(movedSummary.outcomes.WithReason(restore::kReasonNotOnVolume), 1u) << SummaryText(movedSummary);
}

}  // namespace
}  // namespace vellum::app
