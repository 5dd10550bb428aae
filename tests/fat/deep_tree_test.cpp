// Folders nested as deep as a volume has clusters. Each level of the tree is
// one directory cluster that holds a deleted folder pointing at the next
// cluster; the walks must get through such a tree in every mode without
// their stack growing with it (these run under the sanitizers with the
// default stack) and in time that grows with the tree, not its square.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fat/fat_walk.h"
#include "platform/block_device.h"
#include "restore/restore_output.h"
#include "support/faulty_device.h"
#include "support/scripted_messages.h"
#include "volume/le.h"
#include "volume/listing.h"

namespace vellum::fat {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kDepth = 100000;
constexpr uint32_t kClusterBytes = 512;

// Keeps what the checks need of each row, never the folder texts themselves:
// those of a tree this deep add up to gigabytes.
class DepthRows : public RowSink {
 public:
  void InsertRow(size_t, std::string_view name, int) override {
    ++count;
    lastName = name;
  }
  void SetCell(size_t, size_t column, std::string_view text) override {
    if (column != 1) return;
    lastFolderLength = text.size();
    lastFolderEnd = std::string(text.substr(text.size() - std::min<size_t>(text.size(), 8)));
  }
  void SetDataWord(size_t, uint32_t) override {}
  void ShowFoundCount(uint32_t) override {}

  size_t count = 0;
  std::string lastName;
  size_t lastFolderLength = 0;
  std::string lastFolderEnd;
};

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "vellum-deep-XXXXXX").string();
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

// A volume laid out from cluster 2 at byte 0, one sector per cluster.
struct DeepVolume {
  volume::ScanState state;
  DepthRows rows;
  platform::MemoryBlockDevice* device = nullptr;

  DeepVolume(uint8_t fsKind, std::vector<uint8_t> bytes, uint32_t lastCluster) {
    state.fsKind = fsKind;
    state.bytesPerSector = kClusterBytes;
    state.sectorsPerCluster = 1;
    state.clusterBytes = kClusterBytes;
    state.firstDataSector = 0;
    state.rootCluster = 2;
    state.lastCluster = lastCluster;
    state.fat.assign((uint64_t{lastCluster} + 1) * 4, 0);
    PutLe32(state.fat, 2 * 4, 0x0FFFFFFF);  // the root's one cluster
    state.fatWork = state.fat;
    state.exfatBitmap.assign(lastCluster / 8 + 1, 0);
    state.rootPath = "t:/";
    state.rows = &rows;
    auto owned = std::make_unique<platform::MemoryBlockDevice>(std::move(bytes), true);
    device = owned.get();
    state.volumeHandle = std::move(owned);
  }
  ByteView Cluster(uint64_t c) const { return ByteView(device->Bytes()).subspan((c - 2) * kClusterBytes, kClusterBytes); }
};

// exFAT: cluster c holds the deleted set of folder `name` whose data is
// cluster c + 1; the deepest folder holds the deleted file "leaf.txt".
DeepVolume DeepExfat(std::u16string_view folderName = u"d", uint32_t depth = kDepth,
                     uint64_t folderSize = kClusterBytes) {
  const uint32_t last = depth + 3;
  std::vector<uint8_t> bytes(uint64_t{depth + 1} * kClusterBytes, 0);
  auto putSet = [&](uint32_t cluster, uint16_t attributes, uint32_t first, uint64_t size, std::u16string_view name) {
    const MutableBytes c = MutableBytes(bytes).subspan(uint64_t{cluster - 2} * kClusterBytes, kClusterBytes);
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
  for (uint32_t level = 0; level < depth; ++level) putSet(2 + level, 0x10, 3 + level, folderSize, folderName);
  putSet(2 + depth, 0x20, last, 10, u"leaf.txt");
  return DeepVolume(volume::kExfat, std::move(bytes), last);
}

// FAT32: the root holds the deleted folder "?D" (shown as "$D") at cluster 3,
// and every folder below it its own "." and ".." and the next deleted folder.
DeepVolume DeepFat() {
  const uint32_t last = kDepth + 2;
  std::vector<uint8_t> bytes(uint64_t{kDepth + 1} * kClusterBytes, 0);
  auto putEntry = [&](uint32_t cluster, size_t slot, std::string_view shortName, uint32_t first) {
    const MutableBytes e = MutableBytes(bytes).subspan(uint64_t{cluster - 2} * kClusterBytes + slot * 32, 32);
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
  return DeepVolume(volume::kFat32, std::move(bytes), last);
}

TEST(DeepExfatTree, SearchListsEveryLevelAndTheFileAtTheBottom) {
  DeepVolume v = DeepExfat();
  ASSERT_TRUE(WalkFatExfat(v.state));
  EXPECT_EQ(v.rows.count, kDepth + 1u);
  EXPECT_EQ(v.rows.lastName, "leaf.txt");
  // "t:/" and "d" for each level, with a separator between levels, listed
  // as its first kMaxFolderTextBytes bytes.
  EXPECT_EQ(v.rows.lastFolderLength, volume::kMaxFolderTextBytes);
  EXPECT_EQ(v.rows.lastFolderEnd, "/d/d/d/d");
}

TEST(DeepExfatTree, RestoreStopsWhereTheDestinationPathEnds) {
  // Long names reach the destination's path limit within a few levels
  // rather than making thousands of folders.
  DeepVolume v = DeepExfat(u"a-folder-name-of-sixty-units-that-fills-the-path-quickly----");
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  testing::ScriptedMessages messages;
  restore::Outcomes tally;
  restore::RestoreTarget target{dir.path(), &messages, &tally};
  v.state.operationMode = volume::kModeRestore;
  ASSERT_TRUE(WalkFatExfat(v.state, &target));
  // Folders are made until the path limit refuses the next one; below a
  // folder that was not made nothing is made, and every entry is counted as
  // skipped for the path, so the summary accounts for the whole tree.
  const size_t destinationLevels = (restore::kMaxPathBytes - dir.path().size()) / 61;  // the name and its separator
  EXPECT_EQ(tally.Folders(), destinationLevels);
  EXPECT_EQ(tally.WithReason(restore::kReasonPathTooLong), kDepth + 1u - destinationLevels);
  EXPECT_EQ(tally.Files(), 0u);
  EXPECT_EQ(messages.shown.size(), 1u);
}

TEST(DeepExfatTree, CompleteDeletionReachesTheBottom) {
  DeepVolume w = DeepExfat();
  w.state.operationMode = volume::kModeCompleteDeletion;
  ASSERT_TRUE(WalkFatExfat(w.state));
  // The name of the file at the bottom, and of the folder above it, are gone;
  // the type bytes stay.
  EXPECT_EQ(w.Cluster(2 + kDepth)[0], 0x05);
  EXPECT_EQ(Le16(w.Cluster(2 + kDepth), 66), 0);
  EXPECT_EQ(Le16(w.Cluster(1 + kDepth), 66), 0);
  EXPECT_EQ(Le16(w.Cluster(2), 66), 0);
}

// Every folder claims to run to the end of the volume, so each one's clusters
// overlap all the folders below it. Read as they claim, the walk would read
// the volume once per folder and hold every folder of each for the descent.
TEST(DeepExfatTree, FoldersThatOverlapOneAnotherCostAtMostTwoReadsOfTheVolume) {
  constexpr uint32_t kFolders = 3000;
  DeepVolume v = DeepExfat(u"d", kFolders, 256ull << 20);
  auto counting = std::make_unique<testing::FaultyDevice>(std::move(v.state.volumeHandle));
  testing::FaultyDevice* device = counting.get();
  v.state.volumeHandle = std::move(counting);
  ASSERT_TRUE(WalkFatExfat(v.state));
  EXPECT_LE(device->reads, 2 * (v.state.lastCluster + 1));
  // The root's own folder and file rows are all there.
  EXPECT_GT(v.rows.count, kFolders);
}

// The FAT walk enters a folder only while its path stays inside the name
// limit, so a deep tree ends there; what matters is that it ends, at that
// depth, in every mode, and that a restore counts what it left below.
TEST(DeepFatTree, EveryModeStopsAtThePathLimit) {
  DeepVolume v = DeepFat();
  ASSERT_TRUE(WalkFatExfat(v.state));
  ASSERT_GT(v.rows.count, 100u);
  EXPECT_LT(v.rows.count, kMaxNameBytes);
  EXPECT_EQ(v.rows.lastName, "$D");
  // The last folder entered is within two levels of the limit.
  EXPECT_LE(v.rows.lastFolderLength, kMaxNameBytes);
  EXPECT_GE(v.rows.lastFolderLength + 2 * 3, kMaxNameBytes);

  DeepVolume r = DeepFat();
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  testing::ScriptedMessages messages;
  restore::Outcomes tally;
  restore::RestoreTarget target{dir.path(), &messages, &tally};
  r.state.operationMode = volume::kModeRestore;
  ASSERT_TRUE(WalkFatExfat(r.state, &target));
  EXPECT_GT(tally.Folders(), 100u);
  EXPECT_LT(tally.Folders(), v.rows.count + 1);
  // Every entry below the last folder made is counted, however deep.
  EXPECT_EQ(tally.Folders() + tally.WithReason(restore::kReasonPathTooLong), kDepth + 1u);

  DeepVolume w = DeepFat();
  w.state.operationMode = volume::kModeCompleteDeletion;
  ASSERT_TRUE(WalkFatExfat(w.state));
  // The root's deleted folder and the deepest one the walk read are wiped
  // but for their first byte; a level below the limit was never read.
  EXPECT_EQ(w.Cluster(2)[0], 0xE5);
  EXPECT_EQ(w.Cluster(2)[1], 0);
  EXPECT_EQ(w.Cluster(1 + v.rows.count)[64 + 1], 0);
  EXPECT_EQ(w.Cluster(2 + v.rows.count)[64 + 1], 'D');
}

}  // namespace
}  // namespace vellum::fat
