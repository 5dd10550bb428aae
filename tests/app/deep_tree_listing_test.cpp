// Folders nested 100,000 deep, listed into the real result list. A folder
// text as long as the tree is deep would make the rows cost the square of
// the depth (gigabytes, and a minute); the list and the walks must stay
// within a fixed budget of memory and time however deep the tree. The trees
// are laid out here, one small directory cluster or file record per level.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/result_list.h"
#include "app/results_file.h"
#include "app/row_item.h"
#include "app/same_content.h"
#include "fat/fat_entry.h"
#include "fat/found_entry.h"
#include "fat/fat_walk.h"
#include "ntfs/ntfs_restore.h"
#include "ntfs/ntfs_search.h"
#include "platform/block_device.h"
#include "restore/destination.h"
#include "restore/outcome.h"
#include "restore/restore_output.h"
#include "support/ntfs_builder.h"
#include "support/scripted_messages.h"
#include "volume/le.h"
#include "volume/listing.h"

#if defined(__SANITIZE_ADDRESS__)
#define VELLUM_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELLUM_TEST_ASAN 1
#endif
#endif
#if defined(VELLUM_TEST_ASAN)
// The sanitizer runtime's count of heap bytes in use (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace vellum::app {
namespace {

constexpr uint32_t kDepth = 100000;
constexpr uint64_t kMemoryCap = 512ull << 20;
// Only a guard against a hang or the square of the depth (which took a
// minute even in a plain build): ten times the work on a busy machine. The
// sanitizer build runs the walks unoptimised; its slowest case here, the
// exFAT on-volume check, takes some 20 s while other builds share the
// processor.
#if defined(VELLUM_TEST_ASAN)
constexpr double kSecondsCap = 200.0;
#else
constexpr double kSecondsCap = 15.0;
#endif

using volume::ScanState;

#if !defined(VELLUM_TEST_ASAN)
// In a child: caps the address space, runs `work` and exits with 0 when it
// passed, else prints what failed.
[[noreturn]] void RunCapped(const std::function<std::string()>& work, uint64_t memoryCap) {
  const rlimit cap{memoryCap, memoryCap};
  setrlimit(RLIMIT_AS, &cap);
  const std::string failure = work();
  if (!failure.empty()) std::fprintf(stderr, "%s\n", failure.c_str());
  std::exit(failure.empty() ? 0 : 1);
}
#endif

// Runs `work` under the memory cap and the time limit. A plain build runs it
// in a child whose address space is capped, as `ulimit -v` would; under the
// address sanitizer, whose shadow memory rules that out, the heap in use at
// the end of the work is measured instead. `work` returns an empty text when
// its checks pass, else what failed.
void RunBounded(const std::function<std::string()>& work, uint64_t memoryCap = kMemoryCap) {
  const std::function<std::string()> timed = [&work]() {
    const auto start = std::chrono::steady_clock::now();
    std::string failure = work();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (failure.empty() && seconds > kSecondsCap) failure = "took " + std::to_string(seconds) + " s";
    return failure;
  };
#if defined(VELLUM_TEST_ASAN)
  const size_t before = __sanitizer_get_current_allocated_bytes();
  EXPECT_EQ(timed(), "");
  EXPECT_LT(__sanitizer_get_current_allocated_bytes() - before, memoryCap);
#else
  EXPECT_EXIT(RunCapped(timed, memoryCap), ::testing::ExitedWithCode(0), "^$");
#endif
}

// Keeps the list's memory in view under the sanitizer: the list lives until
// the work has measured it.
size_t HeapInUse() {
#if defined(VELLUM_TEST_ASAN)
  return __sanitizer_get_current_allocated_bytes();
#else
  return 0;
#endif
}

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vellum-deep-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : "";
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct DeepVolume {
  ScanState state;
  ResultList list;

  DeepVolume(uint8_t fsKind, std::vector<uint8_t> bytes, uint32_t clusterBytes, uint64_t lastCluster) {
    state.fsKind = fsKind;
    state.bytesPerSector = 512;
    state.sectorsPerCluster = clusterBytes / 512;
    state.clusterBytes = clusterBytes;
    state.lastCluster = lastCluster;
    state.dataAreaBytes = bytes.size();
    state.rootPath = "deep.img:/";
    state.volumeHandle = std::make_unique<platform::MemoryBlockDevice>(std::move(bytes), true);
    state.rows = &list;
    list.SetClusterColumn(fsKind);
  }

  // Every row's folder is the root text and "d/" per level, cut where the
  // list cuts folder texts; the results file keeps what it always kept.
  std::string CheckFolders(size_t rowsPerLevel) const {
    std::string want = state.rootPath;
    for (size_t row = 0; row < list.RowCount(); ++row) {
      const size_t level = row / rowsPerLevel;
      while (want.size() < volume::kMaxFolderTextBytes + 2 && want.size() + 1 < state.rootPath.size() + 2 * level)
        want += want.back() == '/' ? "d" : "/d";
      if (list.Cell(row, 1) != volume::CutFolderText(want)) return "folder of row " + std::to_string(row);
    }
    return "";
  }
};

// exFAT: cluster c holds the deleted set of folder "d" whose data is cluster
// c + 1, then a deleted file; the deepest cluster holds the file alone.
DeepVolume DeepExfat(std::u16string_view folderName = u"d") {
  constexpr uint32_t kCluster = 512;
  std::vector<uint8_t> bytes(uint64_t{kDepth + 1} * kCluster, 0);
  auto putSet = [&](uint32_t cluster, size_t at, uint16_t attributes, uint32_t first, uint64_t size,
                    std::u16string_view name) {
    const MutableBytes c = MutableBytes(bytes).subspan(uint64_t{cluster - 2} * kCluster + at, 64 + 32 * 5);
    c[0] = 0x05;
    PutLe16(c, 4, attributes);
    PutLe16(c, 14, 0x58A6);
    c[32] = 0x40;
    c[33] = 3;  // contiguous
    PutLe32(c, 40, static_cast<uint32_t>(size));
    PutLe32(c, 52, first);
    for (size_t i = 0; i < name.size(); ++i) {
      const size_t entry = 64 + 32 * (i / 15);  // 15 units to a name entry
      c[entry] = 0x41;
      PutLe16(c, entry + 2 + 2 * (i % 15), name[i]);
    }
  };
  const size_t fileAt = 64 + 32 * ((folderName.size() + 14) / 15);
  for (uint32_t level = 0; level <= kDepth; ++level) {
    if (level < kDepth) putSet(2 + level, 0, 0x10, 3 + level, kCluster, folderName);
    putSet(2 + level, level < kDepth ? fileAt : 0, 0x20, 2 + level, 10, u"f");
  }
  DeepVolume v(volume::kExfat, std::move(bytes), kCluster, kDepth + 2);
  v.state.rootCluster = 2;
  v.state.fat.assign((uint64_t{kDepth} + 3) * 4, 0);
  PutLe32(v.state.fat, 2 * 4, 0x0FFFFFFF);  // the root's one cluster
  v.state.fatWork = v.state.fat;
  v.state.exfatBitmap.assign(kDepth / 8 + 1, 0);
  return v;
}

// FAT32: the root holds the deleted folder "?D" (listed as "$D") at cluster
// 3, and every folder below it its own "." and ".." and the next one.
DeepVolume DeepFat32() {
  constexpr uint32_t kCluster = 512;
  std::vector<uint8_t> bytes(uint64_t{kDepth + 1} * kCluster, 0);
  auto putEntry = [&](uint32_t cluster, size_t slot, std::string_view shortName, uint32_t first) {
    const MutableBytes e = MutableBytes(bytes).subspan(uint64_t{cluster - 2} * kCluster + slot * 32, 32);
    for (size_t i = 0; i < 11; ++i) e[i] = i < shortName.size() ? shortName[i] : ' ';
    e[11] = 0x10;
    PutLe16(e, 20, static_cast<uint16_t>(first >> 16));
    PutLe16(e, 24, 0x58A6);
    PutLe16(e, 26, static_cast<uint16_t>(first));
  };
  putEntry(2, 0, "\xE5" "D", 3);
  for (uint32_t c = 3; c < 3 + kDepth; ++c) {
    putEntry(c, 0, ".", c);
    putEntry(c, 1, "..", c - 1);
    putEntry(c, 2, "\xE5" "D", c + 1);
  }
  DeepVolume v(volume::kFat32, std::move(bytes), kCluster, kDepth + 2);
  v.state.rootCluster = 2;
  v.state.fat.assign((uint64_t{kDepth} + 3) * 4, 0);
  PutLe32(v.state.fat, 2 * 4, 0x0FFFFFFF);
  v.state.fatWork = v.state.fat;
  return v;
}

// NTFS: record 64 + i is the deleted folder "d" whose parent is the record
// before it (the root for the first), and a deleted file sits in the last.
constexpr uint32_t kRecordBytes = 1024;
constexpr uint32_t kNtfsCluster = 4096;
constexpr uint32_t kFirstDeep = 64;

std::vector<uint8_t> DeepRecord(uint32_t number, uint64_t parent, bool folder, const std::u16string& folderName) {
  std::vector<uint8_t> times(72, 0);
  PutLe32(times, 8, 0x5E000000);  // some time in 2016
  PutLe32(times, 12, 0x01D1F000);
  return testing::RecordBuilder(kRecordBytes, 3, folder ? 2 : 0)
      .Number(number)
      .Resident(0x10, times)
      .FileName(parent | (uint64_t{1} << 48), 1, folder ? folderName : u"f.txt")
      .Resident(0x80, std::vector<uint8_t>(10, 'x'))
      .Build();
}

// Record 64 + i's parent: the record before it, the root for the first.
uint64_t ParentBefore(uint32_t i) { return i == 0 ? ntfs::kRootRecord : kFirstDeep + i - 1; }

DeepVolume DeepNtfs(const std::u16string& folderName = u"d", uint32_t depth = kDepth,
                    uint64_t (*parentOf)(uint32_t) = ParentBefore) {
  const uint32_t records = kFirstDeep + depth + 1;
  const uint64_t mftClusters = (uint64_t{records} * kRecordBytes + kNtfsCluster - 1) / kNtfsCluster;
  const uint64_t bitmapLcn = 1 + mftClusters;
  const uint64_t bitmapClusters = (records / 8 + kNtfsCluster) / kNtfsCluster;
  std::vector<uint8_t> bytes((bitmapLcn + bitmapClusters) * kNtfsCluster, 0);
  // Records 0 to 63 are in use; the rest are free.
  for (uint32_t i = 0; i < kFirstDeep / 8; ++i) bytes[bitmapLcn * kNtfsCluster + i] = 0xFF;
  for (uint32_t i = 0; i <= depth; ++i) {
    const uint32_t n = kFirstDeep + i;
    const std::vector<uint8_t> r = DeepRecord(n, parentOf(i), i < depth, folderName);
    std::copy(r.begin(), r.end(), bytes.begin() + static_cast<ptrdiff_t>(kNtfsCluster + uint64_t{n} * kRecordBytes));
  }
  const uint64_t mftBytes = mftClusters * kNtfsCluster;
  const uint64_t bitmapBytes = bitmapClusters * kNtfsCluster;
  DeepVolume v(volume::kNtfs, std::move(bytes), kNtfsCluster, bitmapLcn + bitmapClusters - 1);
  v.state.mftRecordSize = kRecordBytes;
  v.state.mftRecord0 =
      testing::RecordBuilder(kRecordBytes)
          .NonResident(0x80, 0, mftClusters - 1, testing::EncodeRuns({{mftClusters, 1}}), mftBytes, mftBytes,
                       mftBytes)
          .NonResident(0xB0, 0, bitmapClusters - 1, testing::EncodeRuns({{bitmapClusters, int64_t(bitmapLcn)}}),
                       bitmapBytes, records / 8 + 1, records / 8 + 1)
          .Build(512, false);
  return v;
}

TEST(DeepTreeListing, ExfatListsEveryLevelWithinTheBudget) {
  RunBounded([] {
    DeepVolume v = DeepExfat();
    if (!fat::WalkFatExfat(v.state)) return std::string("walk failed");
    if (v.list.RowCount() != 2 * kDepth + 1) return "rows: " + std::to_string(v.list.RowCount());
    if (v.list.Cell(2 * kDepth, 0) != "f") return std::string("last row");
    const size_t heap = HeapInUse();
    if (heap > kMemoryCap) return "heap " + std::to_string(heap);
    return v.CheckFolders(2);
  });
}

// What the command line does with such a list besides showing it: the notes
// of a JSON or CSV listing (which rows repeat another's data), and the check
// that the rows of a saved list are still on the volume. Neither may hold
// every row's item, or every entry the walk meets, with its folder text.
TEST(DeepTreeListing, ExfatRowNotesAndTheOnVolumeCheckStayWithinTheBudget) {
  RunBounded([] {
    DeepVolume v = DeepExfat();
    if (!fat::WalkFatExfat(v.state)) return std::string("walk failed");
    if (SameContentRows(v.state, v.list).size() != v.list.RowCount()) return std::string("same_as");
    std::vector<fat::FoundEntry> listed;
    for (size_t row = 0; row < 100; ++row)
      listed.push_back(std::get<fat::FoundEntry>(ReadRowItem(v.list, row, KindOfList(v.list))));
    const std::vector<bool> on = fat::EntriesOnVolume(v.state, listed);
    const auto held = std::count(on.begin(), on.end(), true);
    return held == 100 ? std::string() : "on the volume: " + std::to_string(held);
  });
}

// The FAT walk enters a folder only while its path fits the name limit, and
// counts the one it leaves.
TEST(DeepTreeListing, Fat32ListsDownToThePathLimitWithinTheBudget) {
  RunBounded([] {
    DeepVolume v = DeepFat32();
    if (!fat::WalkFatExfat(v.state)) return std::string("walk failed");
    const size_t rows = v.list.RowCount();
    if (rows < 100 || rows > fat::kMaxNameBytes) return "rows: " + std::to_string(rows);
    if (v.list.Cell(rows - 1, 0) != "$D") return std::string("last row");
    // The folder it did not enter is counted, for the search to say so.
    if (v.state.foldersTooDeep != 1) return "not entered: " + std::to_string(v.state.foldersTooDeep);
    return std::string();
  });
}

TEST(DeepTreeListing, NtfsListsEveryLevelWithinTheBudget) {
  RunBounded([] {
    DeepVolume v = DeepNtfs();
    if (!ntfs::SearchNtfs(v.state, 0, "")) return std::string("search failed");
    if (v.list.RowCount() != kDepth + 1) return "rows: " + std::to_string(v.list.RowCount());
    if (v.list.Cell(kDepth, 0) != "f.txt") return std::string("last row");
    const size_t heap = HeapInUse();
    if (heap > kMemoryCap) return "heap " + std::to_string(heap);
    // Row r lies r levels down. Deeper than the path limit, a folder is the
    // nearest 261 levels below a folder of unknown name.
    std::string below;
    for (size_t row = 0; row <= kDepth; ++row) {
      if (row > 0 && row <= 261) below += row == 1 ? "d" : "/d";
      const std::string want = row <= 260 ? v.state.rootPath + below
                                          : v.state.rootPath + std::string(ntfs::kUnknownFolder) + "/" + below;
      if (v.list.Cell(row, 1) != want) return "folder of row " + std::to_string(row);
    }
    return std::string();
  });
}

// Long folder names fill the destination path within a few levels. The walk
// restore makes one folder per level and the file in it until the path is
// full; below that, entries are only counted.
constexpr std::u16string_view kLongName = u"a-folder-name-of-sixty-units-that-fills-the-path-quickly----";

TEST(DeepTreeListing, ExfatRestoresDownToThePathLimitWithinTheBudget) {
  RunBounded([] {
    DeepVolume v = DeepExfat(kLongName);
    TempDir dir;
    ::vellum::testing::ScriptedMessages messages;
    restore::Outcomes tally;
    restore::RestoreTarget target{dir.path(), &messages, &tally};
    v.state.operationMode = volume::kModeRestore;
    if (dir.path().empty() || !fat::WalkFatExfat(v.state, &target)) return std::string("restore failed");
    const size_t levels = (restore::kMaxPathBytes - dir.path().size()) / 61;  // the name and its separator
    if (tally.Folders() != levels) return "folders: " + std::to_string(tally.Folders());
    if (tally.Files() != levels + 1) return "files: " + std::to_string(tally.Files());
    // Every entry below the folder the path could not hold is counted as
    // skipped for it: the summary accounts for the whole tree.
    const uint64_t accounted = tally.Folders() + tally.Files() + tally.WithReason(restore::kReasonPathTooLong);
    if (accounted != 2 * kDepth + 1) return "accounted for: " + std::to_string(accounted);
    return std::string();
  });
}

// Short names reach the path limit some two thousand levels down, and the
// walk restore ends there within 256 MB, every entry below counted as
// skipped for the path. Each item is reached from a folder the destination
// kept: from the root, the items would cost the square of the depth.
constexpr uint64_t kRestoreMemoryCap = 256ull << 20;

std::string RestoreWalkAccountsFor(DeepVolume& v, uint64_t entries) {
  TempDir dir;
  ::vellum::testing::ScriptedMessages messages;
  restore::Outcomes tally;
  // As the restore command holds it: the folders reached last are kept.
  restore::Destination destination(dir.path());
  tally.SetDestination(&destination);
  restore::RestoreTarget target{dir.path(), &messages, &tally};
  v.state.operationMode = volume::kModeRestore;
  if (dir.path().empty() || !fat::WalkFatExfat(v.state, &target)) return std::string("restore failed");
  if (tally.Folders() < 100) return "folders: " + std::to_string(tally.Folders());
  const uint64_t accounted = tally.Folders() + tally.Files() + tally.WithReason(restore::kReasonPathTooLong);
  if (accounted != entries) return "accounted for: " + std::to_string(accounted);
  return std::string();
}

TEST(DeepTreeListing, ExfatWalkRestoreOfShortNamesEndsAtThePathLimitWithinTheBudget) {
  RunBounded([] {
    DeepVolume v = DeepExfat();
    return RestoreWalkAccountsFor(v, 2 * kDepth + 1);
  }, kRestoreMemoryCap);
}

// Restoring the top folder reaches the folders whose chain up to it is short
// enough to be followed, each climbed once; those past the path limit are
// refused for it.
TEST(DeepTreeListing, NtfsRestoresTheFoldersItsChainsReachWithinTheBudget) {
  RunBounded([] {
    DeepVolume v = DeepNtfs(std::u16string(kLongName));
    TempDir dir;
    ::vellum::testing::ScriptedMessages messages;
    restore::Outcomes tally;
    if (dir.path().empty() || !ntfs::RestoreNtfsFolder(v.state, kFirstDeep, dir.path(), messages, tally))
      return std::string("restore failed");
    const size_t levels = (restore::kMaxPathBytes - dir.path().size()) / 61;
    if (tally.Folders() != levels) return "folders: " + std::to_string(tally.Folders());
    if (tally.WithReason(restore::kReasonPathTooLong) != 1024 - levels)
      return "too long: " + std::to_string(tally.WithReason(restore::kReasonPathTooLong));
    return std::string();
  });
}

// Folders whose parent references go round in a circle (64 in 66, 65 in 64,
// 66 in 65), with a file in 66: the file's folder is the circle once below
// "<不明>", told as a damaged structure, not the circle repeated to the path
// limit; restoring a folder of the circle makes each folder once.
uint64_t ParentInCircle(uint32_t i) { return i == 0 ? kFirstDeep + 2 : kFirstDeep + i - 1; }

TEST(DeepTreeListing, NtfsParentCircleIsCutAtItsFirstRepeat) {
  DeepVolume v = DeepNtfs(u"d", 3, ParentInCircle);
  ASSERT_TRUE(ntfs::SearchNtfs(v.state, 0, ""));
  ASSERT_EQ(v.list.RowCount(), 4u);
  EXPECT_EQ(v.list.Cell(3, 0), "f.txt");
  EXPECT_EQ(v.list.Cell(3, 1), v.state.rootPath + std::string(ntfs::kUnknownFolder) + "/d/d/d");
  EXPECT_GT(v.state.truncatedStructures, 0u);

  TempDir dir;
  ::vellum::testing::ScriptedMessages messages;
  restore::Outcomes tally;
  ASSERT_TRUE(ntfs::RestoreNtfsFolder(v.state, kFirstDeep, dir.path(), messages, tally));
  EXPECT_LE(tally.Folders(), 3u);
  EXPECT_LE(tally.Files(), 1u);
  size_t deepest = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
    deepest = std::max<size_t>(deepest, static_cast<size_t>(std::distance(e.path().begin(), e.path().end())));
  EXPECT_LE(deepest, std::distance(std::filesystem::path(dir.path()).begin(), std::filesystem::path(dir.path()).end()) + 4);
}

}  // namespace
}  // namespace vellum::app
