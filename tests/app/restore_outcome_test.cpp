// What a restore or a complete deletion says it did must be what it did:
// each file once, folders with their own times, nothing partial left behind
// by Cancel, and a deletion whose writes did not reach the disk never
// reported as done.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "app/restore_command.h"
#include "app/wipe_command.h"
#include "volume/listing.h"
#include "volume/sector_io.h"
#include "support/cancelling_progress.h"
#include "support/command_fixture.h"
#include "support/scripted_messages.h"

namespace vellum::app {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedMessages;

std::string Image(const char* name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }

using testing::Command;

class TempDir : public testing::TempDir {
 public:
  TempDir() : testing::TempDir("vellum-outcome-") {}
};

std::string LocalTime(const fs::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "missing";
  struct tm local {};
  localtime_r(&st.st_mtime, &local);
  char when[32];
  std::strftime(when, sizeof when, "%Y/%m/%d %H:%M:%S", &local);
  return when;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every row of a search (Ctrl+A), folders together with the rows inside
// them: each file is written once, no name gets a _1, and each deleted
// folder carries the time its row shows although files went in after it.
void EveryRowOnce(const char* image) {
  SCOPED_TRACE(image);
  Command search(Image(image));
  search.context.options.zeroSize = true;
  ASSERT_EQ(OnSearch(search.context), 1);
  TempDir out;
  Command restore(Image(image));
  RestoreSummary summary;
  ASSERT_EQ(OnRestore(restore.context, {out.Path(), &search.list, {}, 0}, summary), 1);

  size_t files = 0;
  for (const auto& e : fs::recursive_directory_iterator(out.Path())) {
    if (!e.is_regular_file()) continue;
    ++files;
    EXPECT_EQ(e.path().filename().string().find("_1"), std::string::npos) << e.path();
  }
  EXPECT_EQ(files, summary.outcomes.Files());
  size_t folders = 0;
  for (size_t row = 0; row < search.list.RowCount(); ++row) {
    if ((search.list.DataWord(row) & volume::kRowFolder) == 0) continue;
    std::string folder(search.list.Cell(row, 1));
    folder.erase(0, folder.find(":/") + 2);
    const fs::path restored = fs::path(out.Path()) / folder / std::string(search.list.Cell(row, 0));
    SCOPED_TRACE(restored.string());
    EXPECT_EQ(LocalTime(restored), std::string(search.list.Cell(row, 4).substr(0, 19)));  // NTFS shows ms too
    ++folders;
  }
  EXPECT_GE(folders, 2u);  // old-project and photos
}

TEST(RestoreOutcome, AFolderRowAndTheRowsInsideItRestoreEachFileOnce) {
  EveryRowOnce("fat16.img");
  EveryRowOnce("ntfs-4k.img");
}

// Cancel while big-deleted.bin is being copied: the file is removed, not
// left looking complete, and the summary says the restore was cancelled.
TEST(RestoreOutcome, CancelMidFileLeavesNoPartialFile) {
  Command search(Image("fat16.img"));
  ASSERT_EQ(OnSearch(search.context), 1);
  const std::vector<size_t> big = testing::RowsNamed(search.list, "big-deleted.bin");
  ASSERT_EQ(big.size(), 1u);
  TempDir out;
  Command restore(Image("fat16.img"));
  restore.context.newProgress = [] { return std::make_unique<testing::CancelOnPump>(6); };
  RestoreSummary summary;
  ASSERT_EQ(OnRestore(restore.context, {out.Path(), &search.list, big, 0}, summary), 1);
  EXPECT_TRUE(summary.cancelled);
  EXPECT_FALSE(fs::exists(out.Path("big-deleted.bin")));
  EXPECT_EQ(summary.outcomes.Files(), 0u);
}

// A size no file on the volume can have (garbage read as an entry) is not
// copied on and on: the row is skipped and named.
TEST(RestoreOutcome, ARowLargerThanTheVolumeIsSkipped) {
  Command search(Image("fat16.img"));
  ASSERT_EQ(OnSearch(search.context), 1);
  ResultList rows;
  rows.SetClusterColumn(volume::kFat16);
  rows.InsertRow(0, "huge.bin", 0);
  rows.SetCell(0, 1, "fat16.img:/");
  rows.SetCell(0, 2, "4000000000");
  rows.SetCell(0, 4, "2020/01/01 00:00:00");
  rows.SetCell(0, 5, "3");
  TempDir out;
  Command restore(Image("fat16.img"));
  RestoreSummary summary;
  RestoreRequest request{out.Path(), &rows, {}, 0};
  request.force = true;  // a made-up entry, which the volume does not hold
  ASSERT_EQ(OnRestore(restore.context, request, summary), 1);
  EXPECT_EQ(summary.outcomes.WithReason(restore::kReasonLargerThanVolume), 1u);
  EXPECT_FALSE(fs::exists(out.Path("huge.bin")));
  EXPECT_FALSE(summary.outcomes.AllIntact());
  EXPECT_NE(SummaryText(summary).find(out.Path("huge.bin")), std::string::npos) << SummaryText(summary);
}

// A device that takes reads but refuses every write.
class RefusingWrites : public platform::BlockDevice {
 public:
  explicit RefusingWrites(std::unique_ptr<platform::BlockDevice> base) : base_(std::move(base)) {}
  bool Read(uint64_t offset, std::span<uint8_t> out) override { return base_->Read(offset, out); }
  bool Write(uint64_t, std::span<const uint8_t>) override { return false; }
  uint64_t Size() const override { return base_->Size(); }
  uint32_t SectorSize() const override { return base_->SectorSize(); }
  bool Writable() const override { return true; }
  std::string LastError() const override { return "Input/output error"; }

 private:
  std::unique_ptr<platform::BlockDevice> base_;
};

// Reads of [bad, bad + length) fail; the device zeroes what it cannot give.
class FailingReads : public platform::BlockDevice {
 public:
  FailingReads(std::unique_ptr<platform::BlockDevice> base, uint64_t bad, uint64_t length)
      : base_(std::move(base)), bad_(bad), length_(length) {}
  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    if (offset < bad_ + length_ && bad_ < offset + out.size()) {
      std::fill(out.begin(), out.end(), 0);
      return false;
    }
    return base_->Read(offset, out);
  }
  bool Write(uint64_t, std::span<const uint8_t>) override { return false; }
  uint64_t Size() const override { return base_->Size(); }
  uint32_t SectorSize() const override { return base_->SectorSize(); }
  bool Writable() const override { return false; }

 private:
  std::unique_ptr<platform::BlockDevice> base_;
  uint64_t bad_, length_;
};

// A cluster the disk cannot give is written as zeros, and the summary says
// which bytes of which file: the file is not passed off as intact.
TEST(RestoreOutcome, UnreadableClustersAreZeroFilledAndNamed) {
  Command search(Image("fat16.img"));
  ASSERT_EQ(OnSearch(search.context), 1);
  const std::vector<size_t> big = testing::RowsNamed(search.list, "big-deleted.bin");
  ASSERT_EQ(big.size(), 1u);
  const uint64_t first = std::stoull(std::string(search.list.Cell(big[0], 5)));
  const uint64_t clusterBytes = search.state.clusterBytes;
  const uint64_t bad = volume::ClusterToSector(search.state, first + 1) * search.state.bytesPerSector;

  TempDir out;
  Command restore(Image("fat16.img"));
  restore.context.volume.wrapDevice = [bad, clusterBytes](std::unique_ptr<platform::BlockDevice> d) {
    return std::unique_ptr<platform::BlockDevice>(new FailingReads(std::move(d), bad, clusterBytes));
  };
  RestoreSummary summary;
  ASSERT_EQ(OnRestore(restore.context, {out.Path(), &search.list, big, 0}, summary), 1);
  ASSERT_EQ(summary.outcomes.Count(restore::ItemResult::kZeroFilled, false), 1u);
  const restore::ItemOutcome& item = summary.outcomes.Items().back();
  ASSERT_EQ(item.zeroFilled.size(), 1u);
  EXPECT_EQ(item.zeroFilled[0].offset, clusterBytes);
  EXPECT_EQ(item.zeroFilled[0].length, clusterBytes);
  EXPECT_FALSE(summary.outcomes.AllIntact());
  EXPECT_EQ(fs::file_size(out.Path("big-deleted.bin")), 50000u);
  const std::string text = SummaryText(summary);
  EXPECT_NE(text.find("big-deleted.bin: 読めない部分を 0 で埋めた (バイト " + std::to_string(clusterBytes) + "-" +
                      std::to_string(2 * clusterBytes - 1) + ")"),
            std::string::npos)
      << text;
}

// The same on exFAT and NTFS, wherever the file's second cluster lies: its
// bytes are found in the image, reads there fail, and the restored file has
// zeros exactly in the ranges its outcome names and the healthy bytes
// everywhere else.
class UnreadableCluster : public ::testing::TestWithParam<const char*> {};

TEST_P(UnreadableCluster, IsZeroFilledAndNamedOnEveryFileSystem) {
  Command search(Image(GetParam()));
  ASSERT_EQ(OnSearch(search.context), 1);
  const std::vector<size_t> big = testing::RowsNamed(search.list, "big-deleted.bin");
  ASSERT_EQ(big.size(), 1u);
  const uint64_t cluster = search.state.clusterBytes;
  TempDir healthy;
  Command first(Image(GetParam()));
  RestoreSummary clean;
  ASSERT_EQ(OnRestore(first.context, {healthy.Path(), &search.list, big, 0}, clean), 1);
  const std::string good = ReadAll(healthy.Path("big-deleted.bin"));
  ASSERT_GT(good.size(), 2 * cluster);

  const std::string image = ReadAll(Image(GetParam()));
  const std::string second = good.substr(cluster, cluster);
  const size_t at = image.find(second);
  ASSERT_NE(at, std::string::npos);
  ASSERT_EQ(image.find(second, at + 1), std::string::npos) << "the cluster's bytes are not unique";

  TempDir out;
  Command restore(Image(GetParam()));
  restore.context.volume.wrapDevice = [at, cluster](std::unique_ptr<platform::BlockDevice> d) {
    return std::unique_ptr<platform::BlockDevice>(new FailingReads(std::move(d), at, cluster));
  };
  RestoreSummary summary;
  ASSERT_EQ(OnRestore(restore.context, {out.Path(), &search.list, big, 0}, summary), 1);
  // On ntfs-4k the file is one compression unit of 16 clusters: the unit the
  // device failed inside is zeros whole, so the file reads as zeros only.
  const bool wholeUnit = summary.outcomes.Count(restore::ItemResult::kReadAsZeros, false) == 1;
  ASSERT_EQ(summary.outcomes.Count(restore::ItemResult::kZeroFilled, false) + (wholeUnit ? 1 : 0), 1u)
      << SummaryText(summary);
  EXPECT_FALSE(summary.outcomes.AllIntact());
  const restore::ItemOutcome& item = summary.outcomes.Items().back();
  ASSERT_FALSE(item.zeroFilled.empty());
  std::string expected = good;
  bool coversTheBadCluster = false;
  for (const restore::ByteRange& range : item.zeroFilled) {
    ASSERT_LE(range.offset + range.length, expected.size());
    expected.replace(range.offset, range.length, range.length, '\0');
    coversTheBadCluster |= range.offset <= cluster && range.offset + range.length >= 2 * cluster;
  }
  EXPECT_TRUE(coversTheBadCluster);
  const std::string restoredBytes = ReadAll(out.Path("big-deleted.bin"));
  EXPECT_TRUE(restoredBytes == expected) << "first difference at " << std::distance(expected.begin(), std::mismatch(expected.begin(), expected.end(), restoredBytes.begin(), restoredBytes.end()).first) << " of " << expected.size() << ", named " << item.zeroFilled.front().offset << "+" << item.zeroFilled.front().length << " of " << item.zeroFilled.size();
  EXPECT_NE(SummaryText(summary).find(wholeUnit ? "big-deleted.bin: 0 としか読めなかった"
                                                : "big-deleted.bin: 読めない部分を 0 で埋めた"),
            std::string::npos)
      << SummaryText(summary);
}

INSTANTIATE_TEST_SUITE_P(Images, UnreadableCluster, ::testing::Values("exfat.img", "ntfs-512.img", "ntfs-4k.img"),
                         [](const auto& info) {
                           std::string n = info.param;
                           for (char& c : n) if (c == '-' || c == '.') c = '_';
                           return n;
                         });

// Counts the reads and the bytes they carry.
class CountingReads : public platform::BlockDevice {
 public:
  explicit CountingReads(std::unique_ptr<platform::BlockDevice> base, uint64_t& reads, uint64_t& bytes)
      : base_(std::move(base)), reads_(reads), bytes_(bytes) {}
  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    ++reads_;
    bytes_ += out.size();
    return base_->Read(offset, out);
  }
  bool Write(uint64_t, std::span<const uint8_t>) override { return false; }
  uint64_t Size() const override { return base_->Size(); }
  uint32_t SectorSize() const override { return base_->SectorSize(); }
  bool Writable() const override { return false; }

 private:
  std::unique_ptr<platform::BlockDevice> base_;
  uint64_t& reads_;
  uint64_t& bytes_;
};

// A file of 30 MB or more in one run of clusters is read a megabyte per request, not
// a cluster (or 16) per request, and comes out whole.
TEST(RestoreOutcome, ARunOfClustersIsReadAMegabyteAtATime) {
  for (const char* image : {"fat16.img", "exfat.img", "ntfs-4k.img"}) {
    SCOPED_TRACE(image);
    Command search(Image(image));
    ASSERT_EQ(OnSearch(search.context), 1);
    const std::vector<size_t> rows = testing::RowsNamed(search.list, "zero-filler.bin");
    ASSERT_EQ(rows.size(), 1u);
    const uint64_t size = std::stoull(std::string(search.list.Cell(rows[0], 2)));
    ASSERT_GT(size, 20u << 20);
    TempDir out;
    Command restore(Image(image));
    uint64_t reads = 0, bytes = 0;
    restore.context.volume.wrapDevice = [&](std::unique_ptr<platform::BlockDevice> d) {
      return std::unique_ptr<platform::BlockDevice>(new CountingReads(std::move(d), reads, bytes));
    };
    RestoreSummary summary;
    ASSERT_EQ(OnRestore(restore.context, {out.Path(), &search.list, rows, 0}, summary), 1);
    EXPECT_TRUE(summary.outcomes.AllIntact());
    EXPECT_EQ(fs::file_size(out.Path("zero-filler.bin")), size);
    EXPECT_GE(bytes, size);
    // The file's megabytes, and a few dozen reads of the volume's tables.
    EXPECT_LE(reads, size / (1u << 20) + 64) << bytes;
  }
}

TEST(RestoreOutcome, ADeletionWhoseWritesFailIsReportedAndNotDone) {
  for (const char* image : {"fat16.img", "exfat.img"}) {
    SCOPED_TRACE(image);
    TempDir dir;
    const std::string copy = dir.Path(image);
    fs::copy_file(Image(image), copy);
    Command wipe(copy);
    wipe.messages.answers = {MessageAnswer::Yes};
    wipe.context.volume.wrapDevice = [](std::unique_ptr<platform::BlockDevice> d) {
      return std::unique_ptr<platform::BlockDevice>(new RefusingWrites(std::move(d)));
    };
    WipeSummary summary;
    EXPECT_EQ(OnCompleteDeletion(wipe.context, &summary), 0);
    EXPECT_GT(summary.failedWrites, 0u);
    EXPECT_EQ(summary.entriesOverwritten, 0u);
    const std::string& said = wipe.messages.shown.back();
    EXPECT_EQ(said.rfind(kWipeWriteFailedMessage, 0), 0u) << said;
    EXPECT_NE(said.find("セクタ"), std::string::npos);
    EXPECT_NE(said.find("Input/output error"), std::string::npos);
    for (const std::string& m : wipe.messages.shown) EXPECT_EQ(m.find(kWipeDoneMessage), std::string::npos);

    // The same deletion on a device that takes the writes says how many it overwrote.
    Command real(copy);
    real.messages.answers = {MessageAnswer::Yes};
    EXPECT_EQ(OnCompleteDeletion(real.context, &summary), 1);
    EXPECT_GT(summary.entriesOverwritten, 10u);
    EXPECT_NE(real.messages.shown.back().find(std::to_string(summary.entriesOverwritten) + " 件"), std::string::npos);
  }
}

}  // namespace
}  // namespace vellum::app

#include "app/drive_summary.h"

namespace vellum::app {
namespace {

// The drive box and `drives` say what each volume is, so two cards of one
// kind can be told apart: file system, size and label as fsstat reads them.
TEST(DriveSummaries, FileSystemSizeAndLabel) {
  volume::DriveTable table;
  std::string error;
  for (const char* image : {"fat16.img", "exfat.img", "ntfs-4k.img", "disk-mbr.img"})
    ASSERT_TRUE(volume::AppendImage(table, Image(image), error)) << error;
  ASSERT_GE(table.entries.size(), 4u);
  EXPECT_EQ(DriveSummary(DescribeDrive(table.entries[0])), "FAT16 33.6 MB VELLUMFAT16");
  EXPECT_EQ(DriveSummary(DescribeDrive(table.entries[1])), "exFAT 33.6 MB VELLUMEXFAT");
  EXPECT_EQ(DriveSummary(DescribeDrive(table.entries[2])), "NTFS 33.6 MB VELLUMNTFS4K");
  const DriveFacts partition = DescribeDrive(table.entries[3]);
  EXPECT_TRUE(partition.opened);
  EXPECT_FALSE(partition.fileSystem.empty());
  volume::DriveEntry missing = table.entries[0];
  missing.sourcePath = "/no/such/card.img";
  EXPECT_EQ(DriveSummary(DescribeDrive(missing)), "");
  AddDriveSummaries(table);
  EXPECT_EQ(table.entries[0].displayName, "fat16.img — FAT16 33.6 MB VELLUMFAT16");
}

}  // namespace
}  // namespace vellum::app
