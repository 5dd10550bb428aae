// Restoring deleted NTFS files and folders from the committed images: every
// restored file is compared byte for byte with what The Sleuth Kit's icat
// extracts from the same record, and its time with istat's. A damaged copy
// of an image shows that names from the disk never lead outside the
// destination.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "support/open_image.h"
#include "ntfs/ntfs_restore.h"
#include "ntfs/record.h"
#include "restore/restored_file.h"
#include "restore/restore_output.h"
#include "support/run_command.h"
#include "support/scripted_messages.h"
#include "support/tsk.h"

namespace vellum::ntfs {
namespace {

namespace fs = std::filesystem;
using testing::RunCommand;
using testing::ScriptedMessages;

std::string ImagePath(const std::string& name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }

void Open(const std::string& image, volume::ScanState& state) {
  ASSERT_TRUE(fs::exists(image)) << image;
  std::string error;
  ASSERT_TRUE((error = testing::OpenImage(image, state)).empty()) << error;
}

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "vellum-ntfs-restore-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : "";
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string Icat(const std::string& image, uint32_t record) {
  return RunCommand("icat -r '" + image + "' " + std::to_string(record));
}

// The "File Modified" time of $STANDARD_INFORMATION (istat lists it first),
// in UTC to the nanosecond.
std::string IstatModified(const std::string& image, uint32_t record) {
  const std::string stat = RunCommand("TZ=UTC istat '" + image + "' " + std::to_string(record));
  return testing::TskField(stat, "File Modified:\t").substr(0, 29);
}

std::string ModifiedUtc(const fs::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "(missing)";
  struct tm utc {};
  gmtime_r(&st.st_mtim.tv_sec, &utc);
  char text[64];
  const size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
  std::snprintf(text + n, sizeof text - n, ".%09ld", st.st_mtim.tv_nsec);
  return text;
}

struct Deleted {
  uint32_t record = 0;
  std::string path;
  bool directory = false;
};

// `fls -rd -p` without the reserved records and the orphan listed by number
// only; of the hundreds of deleted hole files a few are enough.
std::vector<Deleted> ListDeleted(const std::string& image) {
  std::vector<Deleted> out;
  int holes = 0;
  std::istringstream lines(RunCommand("fls -rd -p '" + image + "'"));
  for (std::string line; std::getline(lines, line);) {
    const size_t star = line.find("* "), tab = line.find('\t');
    if (star == std::string::npos || tab == std::string::npos) continue;
    Deleted d;
    d.path = line.substr(tab + 1);
    if (d.path.starts_with("$") || (d.path.starts_with("frag/hole-") && ++holes > 4)) continue;
    d.record = static_cast<uint32_t>(std::stoul(line.substr(star + 2)));
    d.directory = line.starts_with("-/d");
    out.push_back(d);
  }
  return out;
}

uint32_t RecordOf(const std::vector<Deleted>& list, const std::string& path) {
  for (const Deleted& d : list)
    if (d.path == path) return d.record;
  return 0;
}

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Where record `number` lies in the image: the master file table grows in
// pieces, so the record is found by the number it carries at offset 44.
size_t RecordOffset(const std::string& image, uint32_t number, uint32_t recordSize) {
  for (size_t at = 0; at + recordSize <= image.size(); at += recordSize) {
    if (image.compare(at, 4, "FILE") != 0) continue;
    const auto* p = reinterpret_cast<const uint8_t*>(image.data() + at + 44);
    if ((p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24) == number) return at;
  }
  return std::string::npos;
}

std::string Utf16(const std::string& ascii) {
  std::string out;
  for (char c : ascii) out += {c, '\0'};
  return out;
}

class NtfsRestoreImages : public ::testing::TestWithParam<const char*> {};

TEST_P(NtfsRestoreImages, EveryDeletedFileComesBackAsIcatReadsItWithItsTime) {
  const std::string image = ImagePath(GetParam());
  volume::ScanState state;
  ASSERT_NO_FATAL_FAILURE(Open(image, state));
  TempDir dest;
  ScriptedMessages messages;
  restore::Outcomes tally;
  uint32_t files = 0;
  for (const Deleted& d : ListDeleted(image)) {
    if (d.directory) continue;
    SCOPED_TRACE(d.path + " record " + std::to_string(d.record));
    // A folder of its own per record: names repeat across the images' folders.
    const fs::path folder = fs::path(dest.path()) / std::to_string(d.record);
    fs::create_directory(folder);
    EXPECT_TRUE(RestoreNtfsFile(state, {d.record}, folder.string(), messages, tally));
    const fs::path restored = folder / BaseName(d.path);
    EXPECT_TRUE(ReadWhole(restored) == Icat(image, d.record));
    EXPECT_EQ(ModifiedUtc(restored), IstatModified(image, d.record));
    ++files;
  }
  EXPECT_GT(files, 2u);
  EXPECT_EQ(tally.Files(), files);
  EXPECT_EQ(tally.Count(restore::ItemResult::kZeroFilled, false), 0u);
  EXPECT_TRUE(messages.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Images, NtfsRestoreImages,
                         ::testing::Values("ntfs-4k.img", "ntfs-512.img", "ntfs-special-4k.img",
                                           "ntfs-special-512.img"),
                         [](const auto& info) {
                           std::string n = info.param;
                           for (char& c : n)
                             if (c == '-' || c == '.') c = '_';
                           return n;
                         });

// pieces-deleted.bin lost the later extents of its run list when it was
// deleted (and its name, which lay in a record since reused): what the runs
// still map is written, the rest is zeros, and the outcome says so.
TEST(NtfsRestore, AFileWhoseRunsNoLongerCoverItIsWrittenAndReportedIncomplete) {
  const std::string image = ImagePath("ntfs-special-4k.img");
  volume::ScanState state;
  ASSERT_NO_FATAL_FAILURE(Open(image, state));
  TempDir dest;
  std::vector<uint8_t> record(state.mftRecordSize);
  ASSERT_TRUE(ReadMftRecord(state, 75, record));
  restore::RestoredFile file;
  ASSERT_TRUE(file.Create(dest.path(), "75.bin"));
  const WriteOutcome copied = CopyRecordData(state, record, [&file](ByteView bytes, bool read) {
    return read ? file.Write(bytes) : file.WriteUnreadable(bytes);
  });
  ASSERT_EQ(copied, WriteOutcome::kIncomplete);
  restore::Outcomes tally;
  ASSERT_TRUE(file.Finish(tally, std::nullopt));
  EXPECT_EQ(tally.Count(restore::ItemResult::kZeroFilled, false), 1u);
  const std::string data = ReadWhole(dest.path() + "/75.bin");
  const std::string mapped = Icat(image, 75);
  ASSERT_EQ(data.size(), 409600u);
  ASSERT_LT(mapped.size(), data.size());
  EXPECT_TRUE(data.compare(0, mapped.size(), mapped) == 0) << "first difference at " << std::distance(mapped.begin(), std::mismatch(mapped.begin(), mapped.end(), data.begin()).first);
  EXPECT_EQ(data.find_first_not_of('\0', mapped.size()), std::string::npos);
}

std::set<std::string> TreeBelow(const std::string& root) {
  std::set<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    out.insert(fs::relative(e.path(), root).string() + (e.is_directory() ? "/" : ""));
  return out;
}

// The bounded walk recreates old-project below the destination, relative to
// it; files elsewhere on the volume stay out. The folder keeps its own time
// although its files were written after it was made. A second restore into
// the same destination adds name_1 files beside the first ones.
TEST(NtfsRestore, ADeletedFolderComesBackWithItsTreeAndCollisionsGetNumbers) {
  const std::string image = ImagePath("ntfs-4k.img");
  volume::ScanState state;
  ASSERT_NO_FATAL_FAILURE(Open(image, state));
  const auto deleted = ListDeleted(image);
  const uint32_t folder = RecordOf(deleted, "old-project");
  ASSERT_NE(folder, 0u);
  TempDir dest;
  ScriptedMessages messages;
  restore::Outcomes tally;
  ASSERT_TRUE(RestoreNtfsFolder(state, folder, dest.path(), messages, tally));
  EXPECT_EQ(state.operationMode, volume::kModeSearch);
  const std::set<std::string> tree = {"plan.txt", "photos/", "photos/beach.jpg", "photos/Sunset at the beach.jpg",
                                      "photos/empty.jpg"};
  EXPECT_EQ(TreeBelow(dest.path()), tree);
  EXPECT_EQ(tally.Files(), 4u);
  EXPECT_EQ(tally.Folders(), 1u);
  EXPECT_TRUE(messages.shown.empty());
  for (const std::string& entry : tree) {
    SCOPED_TRACE(entry);
    const bool isFolder = entry.ends_with('/');
    const std::string relative = isFolder ? entry.substr(0, entry.size() - 1) : entry;
    const uint32_t record = RecordOf(deleted, "old-project/" + relative);
    const fs::path restored = fs::path(dest.path()) / relative;
    EXPECT_EQ(ModifiedUtc(restored), IstatModified(image, record));
    if (!isFolder) {
      EXPECT_TRUE(ReadWhole(restored) == Icat(image, record));
    }
  }

  restore::Outcomes again;
  ASSERT_TRUE(RestoreNtfsFolder(state, folder, dest.path(), messages, again));
  EXPECT_EQ(again.Files(), 4u);
  const std::set<std::string> twice = {"plan.txt", "plan_1.txt", "photos/", "photos/beach.jpg",
                                       "photos/beach_1.jpg", "photos/Sunset at the beach.jpg",
                                       "photos/Sunset at the beach_1.jpg", "photos/empty.jpg",
                                       "photos/empty_1.jpg"};
  EXPECT_EQ(TreeBelow(dest.path()), twice);
  EXPECT_EQ(ReadWhole(fs::path(dest.path()) / "plan_1.txt"), ReadWhole(fs::path(dest.path()) / "plan.txt"));
}

// Files may grow to `bytes` only, as on a full destination; a write past that
// fails with EFBIG instead of stopping the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_{};
  void (*previous_)(int) = nullptr;
};

class CancelAfter : public Progress {
 public:
  explicit CancelAfter(int polls) : left_(polls) {}
  int OpenProgress() override { return 1; }
  void StartPhase(std::string_view, uint64_t) override {}
  void ShowFileLabel() override {}
  int Update(uint64_t) override { return !PumpAndCheckCancel(); }
  int PumpAndCheckCancel() override { return left_-- > 0 ? 0 : 1; }
  void SetFileName(std::string_view) override {}
  void CloseProgress() override {}

 private:
  int left_;
};

// Cancel once the file is made, before its data is done (the 50,000 bytes go
// in one transfer; Cancel comes before it), leaves no part of it behind: a
// restored file that exists is whole.
TEST(NtfsRestore, CancelRemovesTheFileCutShort) {
  const std::string image = ImagePath("ntfs-512.img");
  volume::ScanState state;
  ASSERT_NO_FATAL_FAILURE(Open(image, state));
  const uint32_t record = RecordOf(ListDeleted(image), "big-deleted.bin");
  ASSERT_NE(record, 0u);
  CancelAfter progress(0);
  state.progress = &progress;
  TempDir dest;
  ScriptedMessages messages;
  restore::Outcomes tally;
  EXPECT_FALSE(RestoreNtfsFile(state, {record}, dest.path(), messages, tally));
  EXPECT_EQ(state.cancelled, 1);
  EXPECT_TRUE(fs::is_empty(dest.path()));
  EXPECT_EQ(tally.Files(), 0u);
  // The file cut short is named as such, for the summary and the report.
  ASSERT_EQ(tally.Items().size(), 1u);
  EXPECT_EQ(tally.Items()[0].reason, restore::kReasonInterrupted);
}

// By cluster and slot, as rows of the free-cluster scan name a record; a slot
// holding no record creates nothing; a failed write is reported and the file
// is not counted; a destination too long for the system is refused before
// anything is made.
TEST(NtfsRestore, RecordsByClusterAndSlotAndTheFailures) {
  const std::string image = ImagePath("ntfs-4k.img");
  volume::ScanState state;
  ASSERT_NO_FATAL_FAILURE(Open(image, state));
  const uint32_t record = RecordOf(ListDeleted(image), "deleted.txt");
  const size_t offset = RecordOffset(ReadWhole(image), record, state.mftRecordSize);
  ASSERT_NE(offset, std::string::npos);
  const NtfsRecordSource bySlot{0, offset / state.clusterBytes,
                                static_cast<uint32_t>(offset % state.clusterBytes / state.mftRecordSize)};
  TempDir dest;
  ScriptedMessages messages;
  restore::Outcomes tally;
  ASSERT_TRUE(RestoreNtfsFile(state, bySlot, dest.path(), messages, tally));
  EXPECT_TRUE(ReadWhole(dest.path() + "/deleted.txt") == Icat(image, record));

  EXPECT_FALSE(RestoreNtfsFile(state, {0, 0, 0}, dest.path(), messages, tally));
  EXPECT_EQ(tally.WithReason(restore::kReasonNoData), 1u);
  EXPECT_EQ(TreeBelow(dest.path()), std::set<std::string>{"deleted.txt"});  // nothing made for it
  EXPECT_TRUE(messages.shown.empty());

  {
    // A destination that takes no more bytes: the write fails, is reported,
    // and the file cut short is removed and named as failed.
    TempDir full;
    restore::Outcomes failed;
    {
      FileSizeLimit limit(100);
      EXPECT_FALSE(RestoreNtfsFile(state, {record}, full.path(), messages, failed));
    }
    EXPECT_TRUE(fs::is_empty(full.path()));
    EXPECT_EQ(failed.Count(restore::ItemResult::kFailed, false), 1u);
  }
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], "ファイルの書き込みに失敗しました。");

  std::string deep = dest.path();
  while (deep.size() < restore::kMaxPathBytes - 8) deep += "/" + std::string(200, 'd');
  EXPECT_FALSE(RestoreNtfsFile(state, {record}, deep, messages, tally));
  EXPECT_EQ(tally.WithReason(restore::kReasonPathTooLong), 1u);
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[1], restore::kPathTooLongMessage);
  EXPECT_EQ(tally.Files(), 1u);
}

// plan.txt renamed "..", photos renamed "ph/tos" in a copy of the image, bytes
// of the names only (never the last two of a sector, which the fixups own).
// The restore of old-project then writes nothing at all: not above the
// destination, and not a folder "ph" with "tos" in it. The image is not touched.
TEST(NtfsRestore, NamesThatCouldLeaveTheDestinationAreRefusedAndCounted) {
  std::string bytes = ReadWhole(ImagePath("ntfs-4k.img"));
  volume::ScanState probe;
  ASSERT_NO_FATAL_FAILURE(Open(ImagePath("ntfs-4k.img"), probe));
  const auto deleted = ListDeleted(ImagePath("ntfs-4k.img"));
  const auto rename = [&](const std::string& path, const std::string& name, size_t newLength) {
    const size_t record = RecordOffset(bytes, RecordOf(deleted, path), probe.mftRecordSize);
    ASSERT_NE(record, std::string::npos) << path;
    const size_t at = bytes.find(Utf16(BaseName(path)), record);
    ASSERT_LT(at, record + probe.mftRecordSize) << path;
    for (size_t i = at - 2; i < at + 2 * name.size(); ++i) ASSERT_LT(i % 512, 510u) << path;
    bytes[at - 2] = static_cast<char>(newLength);  // the name's length in $FILE_NAME
    bytes.replace(at, 2 * name.size(), Utf16(name));
  };
  rename("old-project/plan.txt", "..", 2);
  rename("old-project/photos", "ph/tos", 6);
  TempDir work;
  const std::string image = work.path() + "/damaged.img";
  std::ofstream(image, std::ios::binary) << bytes;
  const std::string dest = work.path() + "/dest";
  fs::create_directory(dest);

  volume::ScanState state;
  ASSERT_NO_FATAL_FAILURE(Open(image, state));
  ScriptedMessages messages;
  restore::Outcomes tally;
  ASSERT_TRUE(RestoreNtfsFolder(state, RecordOf(deleted, "old-project"), dest, messages, tally));
  EXPECT_EQ(tally.WithReason(restore::kReasonUnsafeName), 5u);  // plan.txt, photos and its three files
  EXPECT_EQ(tally.Files() + tally.Folders(), 0u);
  EXPECT_TRUE(TreeBelow(work.path()) == std::set<std::string>({"damaged.img", "dest/"}));
  EXPECT_TRUE(ReadWhole(image) == bytes);
}

}  // namespace
}  // namespace vellum::ntfs
