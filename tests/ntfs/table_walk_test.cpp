// The search's walk over the table, whose records are read on a second
// thread while the rows are listed: the same rows in the same order as a walk
// that lists each record as it reads it, a cancel that keeps what was listed,
// and failures on either side reaching the caller.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ntfs/attribute.h"
#include "ntfs/ntfs_search.h"
#include "ntfs/record.h"
#include "platform/block_device.h"
#include "support/ntfs_builder.h"
#include "support/recording_rows.h"

namespace vellum::ntfs {
namespace {

using testing::RecordBuilder;
using testing::RecordingRows;

constexpr uint32_t kRecordBytes = 1024;
constexpr uint32_t kCluster = 4096;
constexpr uint32_t kFirstFree = 64;
constexpr uint32_t kFolderRecord = 64;
// Deleted files in the even records below this; nothing but free records
// (no record signature) from there to the end.
constexpr uint32_t kFilesEnd = 10000;
constexpr uint32_t kRecords = 16000;

std::vector<uint8_t> Record(uint32_t n) {
  std::vector<uint8_t> times(72, 0);
  PutLe32(times, 8, 0x5E000000 + n * 10000000u);  // one second apart
  PutLe32(times, 12, 0x01D1F000);
  const bool folder = n == kFolderRecord;
  const std::u16string name = folder ? u"dir" : u"f" + std::u16string(1, char16_t(u'a' + n % 26)) + u".txt";
  return RecordBuilder(kRecordBytes, 3, folder ? 2 : 0)
      .Number(n)
      .Resident(kAttrStandardInformation, times)
      .FileName((folder ? kRootRecord : kFolderRecord) | (uint64_t{1} << 48), 1, name)
      .Resident(kAttrData, std::vector<uint8_t>(1 + n % 50, 'x'))
      .Build();
}

// A device that fails its reads from one offset on, as an exception, and
// may take its time over each read, as a slow card does.
class ThrowingDevice : public platform::MemoryBlockDevice {
 public:
  ThrowingDevice(std::vector<uint8_t> bytes, uint64_t from) : MemoryBlockDevice(std::move(bytes)), from_(from) {}
  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    if (offset + out.size() > from_) throw std::runtime_error("device gone");
    std::this_thread::sleep_for(delay);
    return MemoryBlockDevice::Read(offset, out);
  }
  std::chrono::milliseconds delay{0};

 private:
  uint64_t from_;
};

struct Volume {
  ScanState state;
  RecordingRows rows;

  explicit Volume(uint64_t throwFrom = UINT64_MAX) {
    const uint64_t mftClusters = uint64_t{kRecords} * kRecordBytes / kCluster;
    const uint64_t bitmapLcn = 1 + mftClusters;
    std::vector<uint8_t> bytes((bitmapLcn + 1) * kCluster, 0);
    for (uint32_t i = 0; i < kFirstFree / 8; ++i) bytes[bitmapLcn * kCluster + i] = 0xFF;
    for (uint32_t n = kFirstFree; n < kFilesEnd; n += 2) {
      const std::vector<uint8_t> r = Record(n);
      std::copy(r.begin(), r.end(), bytes.begin() + static_cast<ptrdiff_t>(kCluster + uint64_t{n} * kRecordBytes));
    }
    state.fsKind = volume::kNtfs;
    state.bytesPerSector = 512;
    state.sectorsPerCluster = kCluster / 512;
    state.clusterBytes = kCluster;
    state.lastCluster = bitmapLcn;
    state.rootPath = "walk.img:/";
    state.volumeHandle = std::make_unique<ThrowingDevice>(std::move(bytes), throwFrom);
    state.rows = &rows;
    state.mftRecordSize = kRecordBytes;
    const uint64_t mftBytes = mftClusters * kCluster;
    state.mftRecord0 =
        RecordBuilder(kRecordBytes)
            .NonResident(kAttrData, 0, mftClusters - 1, testing::EncodeRuns({{mftClusters, 1}}), mftBytes, mftBytes,
                         mftBytes)
            .NonResident(kAttrBitmap, 0, 0, testing::EncodeRuns({{1, int64_t(bitmapLcn)}}), kCluster, kRecords / 8,
                         kRecords / 8)
            .Build(512, false);
  }
};

// Each record listed as it is read, on this thread alone.
std::vector<testing::RecordedRow> RowsRecordByRecord() {
  Volume v;
  NtfsRowCache cache;
  std::vector<uint8_t> record(kRecordBytes);
  for (uint32_t n = kFirstFree; n < kRecords; ++n)
    if (ReadMftRecord(v.state, n, record) && (RecordFlags(record) & kRecordInUse) == 0)
      AddNtfsRow(v.state, {n}, record, &cache);
  return v.rows.rows;
}

class UpdateLog : public Progress {
 public:
  explicit UpdateLog(size_t cancelAt = 0) : cancelAt_(cancelAt) {}
  int OpenProgress() override { return 1; }
  void StartPhase(std::string_view, uint64_t) override {}
  void ShowFileLabel() override {}
  int Update(uint64_t current) override {
    updates.push_back(current);
    return cancelAt_ == 0 || updates.size() < cancelAt_;
  }
  int PumpAndCheckCancel() override {
    ++pumps;
    return cancelOnPump || (cancelAt_ != 0 && updates.size() >= cancelAt_);
  }
  void SetFileName(std::string_view) override {}
  void CloseProgress() override {}
  std::vector<uint64_t> updates;
  int pumps = 0;
  bool cancelOnPump = false;

 private:
  size_t cancelAt_;
};

void ExpectSameRows(const std::vector<testing::RecordedRow>& got, const std::vector<testing::RecordedRow>& want,
                    size_t count) {
  ASSERT_LE(count, want.size());
  ASSERT_EQ(got.size(), count);
  for (size_t i = 0; i < count; ++i) {
    ASSERT_EQ(got[i].name, want[i].name) << "row " << i;
    ASSERT_EQ(got[i].cells, want[i].cells) << "row " << i;
    ASSERT_EQ(got[i].dataWord, want[i].dataWord) << "row " << i;
  }
}

TEST(TableWalk, ListsWhatARecordByRecordWalkListsInItsOrder) {
  const std::vector<testing::RecordedRow> want = RowsRecordByRecord();
  ASSERT_EQ(want.size(), (kFilesEnd - kFirstFree) / 2);  // many batches of rows
  Volume v;
  UpdateLog progress;
  v.state.progress = &progress;
  ASSERT_TRUE(SearchNtfs(v.state, 0, ""));
  ExpectSameRows(v.rows.rows, want, want.size());
  EXPECT_EQ(v.rows.rows[1].Cell(1), "walk.img:/dir");
  EXPECT_EQ(v.state.cancelled, 0);
  // The progress moves forward to the last record, through the stretch
  // where nothing is listed.
  ASSERT_FALSE(progress.updates.empty());
  EXPECT_TRUE(std::is_sorted(progress.updates.begin(), progress.updates.end()));
  EXPECT_EQ(progress.updates.back(), kRecords - 1);
}

TEST(TableWalk, ACancelKeepsTheRowsListedBeforeIt) {
  const std::vector<testing::RecordedRow> want = RowsRecordByRecord();
  Volume v;
  UpdateLog progress(2);
  v.state.progress = &progress;
  ASSERT_TRUE(SearchNtfs(v.state, 0, ""));
  EXPECT_EQ(v.state.cancelled, 1);
  EXPECT_EQ(progress.updates.size(), 2u);
  ASSERT_GT(v.rows.rows.size(), 0u);
  ASSERT_LT(v.rows.rows.size(), want.size());
  ExpectSameRows(v.rows.rows, want, v.rows.rows.size());
}

// On a slow disk the window is not left waiting for the reader: it answers
// its user meanwhile, and a cancel then ends the walk without waiting for
// the rest of the table.
TEST(TableWalk, WhileTheReaderIsSlowTheUserCanCancel) {
  Volume v;
  static_cast<ThrowingDevice&>(*v.state.volumeHandle).delay = std::chrono::milliseconds(40);
  UpdateLog progress;
  progress.cancelOnPump = true;
  v.state.progress = &progress;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(SearchNtfs(v.state, 0, ""));
  EXPECT_EQ(v.state.cancelled, 1);
  EXPECT_GE(progress.pumps, 1);
  EXPECT_LT(v.rows.rows.size(), (kFilesEnd - kFirstFree) / 2);
  // Reading the whole table at this pace takes over half a second.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
}

// A sink that fails while a row is listed (memory runs out, say).
class FailingRows : public RecordingRows {
 public:
  void InsertRow(size_t index, std::string_view name, int icon) override {
    if (rows.size() == 300) throw std::runtime_error("no room");
    RecordingRows::InsertRow(index, name, icon);
  }
};

TEST(TableWalk, AFailureOnEitherSideReachesTheCaller) {
  {
    Volume v;
    FailingRows rows;
    v.state.rows = &rows;
    EXPECT_THROW(SearchNtfs(v.state, 0, ""), std::runtime_error);
    EXPECT_EQ(rows.rows.size(), 300u);
  }
  {
    // The table's reads fail halfway through its records.
    Volume v(kCluster + uint64_t{kRecords / 2} * kRecordBytes);
    EXPECT_THROW(SearchNtfs(v.state, 0, ""), std::runtime_error);
    EXPECT_LT(v.rows.rows.size(), (kFilesEnd - kFirstFree) / 2);
  }
}

}  // namespace
}  // namespace vellum::ntfs
