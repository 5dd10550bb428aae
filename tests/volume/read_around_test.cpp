// The reader round bad sectors: a failed read is read again in pieces, so
// only the sectors the device cannot give are zeros, each is recorded, and a
// long run of failures is skipped in growing steps instead of hammered.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/faulty_device.h"
#include "volume/read_around.h"
#include "volume/sector_io.h"

namespace vellum::volume {
namespace {

using testing::FaultyDevice;

constexpr uint64_t kSector = 512;

std::vector<uint8_t> Numbered(uint64_t sectors) {
  std::vector<uint8_t> bytes(sectors * kSector);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i / kSector * 7 + i % 251 + 1);
  return bytes;
}

struct Disk {
  std::vector<uint8_t> bytes;
  ScanState state;
  FaultyDevice* device = nullptr;
  explicit Disk(uint64_t sectors) : bytes(Numbered(sectors)) {
    auto faulty = std::make_unique<FaultyDevice>(std::make_unique<platform::MemoryBlockDevice>(bytes));
    device = faulty.get();
    state.volumeHandle = std::move(faulty);
  }
};

TEST(ReadAround, OnlyTheBadSectorsAreZeroAndRecorded) {
  for (FaultyDevice::Fault fault : {FaultyDevice::Fault::Error, FaultyDevice::Fault::Short}) {
    Disk disk(256);
    disk.device->FailReads(70, 3, fault);
    disk.device->FailReads(100, 1, fault);
    std::vector<uint8_t> out(128 * kSector);
    EXPECT_FALSE(ReadSectors(disk.state, 64, 128, out));
    for (uint64_t s = 0; s < 128; ++s) {
      const bool bad = (s + 64 >= 70 && s + 64 < 73) || s + 64 == 100;
      for (uint64_t b = 0; b < kSector; ++b)
        ASSERT_EQ(out[s * kSector + b], bad ? 0 : disk.bytes[(s + 64) * kSector + b]) << "sector " << s + 64;
    }
    const std::vector<ByteRange> expected = {{70 * kSector, 73 * kSector}, {100 * kSector, 101 * kSector}};
    EXPECT_EQ(disk.state.readDamage.ranges, expected);
    EXPECT_EQ(disk.state.failedReads, 1u);
    // Reading the same sectors again adds nothing new.
    EXPECT_FALSE(ReadSectors(disk.state, 64, 128, out));
    EXPECT_EQ(disk.state.readDamage.ranges, expected);
  }
}

// A device that fails its first read only, as a flaky reader does.
class FailsOnce : public platform::MemoryBlockDevice {
 public:
  using MemoryBlockDevice::MemoryBlockDevice;
  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    if (failed_++ == 0) {
      std::fill(out.begin(), out.end(), uint8_t{0});
      return false;
    }
    return MemoryBlockDevice::Read(offset, out);
  }

 private:
  int failed_ = 0;
};

// A read that fails once and then works is no damage at all.
TEST(ReadAround, AReadThatWorksTheSecondTimeIsWhole) {
  const std::vector<uint8_t> bytes = Numbered(64);
  ScanState state;
  state.volumeHandle = std::make_unique<FailsOnce>(bytes);
  std::vector<uint8_t> out(8 * kSector);
  EXPECT_TRUE(ReadSectors(state, 8, 8, out));
  EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + 8 * kSector));
  EXPECT_TRUE(state.readDamage.ranges.empty());
  EXPECT_EQ(state.failedReads, 0u);
}

// Reads past the device's end are no bad sectors.
TEST(ReadAround, BytesPastTheEndAreNotDamage) {
  Disk disk(16);
  std::vector<uint8_t> out(8 * kSector);
  EXPECT_FALSE(ReadSectors(disk.state, 12, 8, out));
  EXPECT_TRUE(disk.state.readDamage.ranges.empty());
  EXPECT_EQ(disk.state.failedReads, 0u);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + 4 * kSector, disk.bytes.begin() + 12 * kSector));
}

// A dead stretch of 16 MiB read a megabyte at a time, as a scan reads: the
// device is asked a bounded number of times, the reader skips in doubling
// steps and says so, and reads again once past the stretch. The last skip
// may reach past the damage; what it passed over is named unreadable, never
// taken for read.
TEST(ReadAround, ARunOfFailuresIsSkippedInGrowingSteps) {
  const uint64_t dead = 16 * 2048, total = 48 * 2048;  // sectors
  Disk disk(total);
  disk.device->FailReads(1024, dead);
  std::vector<uint8_t> out(2048 * kSector);
  std::vector<uint8_t> whole(total * kSector);
  for (uint64_t s = 0; s < total; s += 2048) {
    ReadSectors(disk.state, s, 2048, out);
    std::copy(out.begin(), out.end(), whole.begin() + static_cast<ptrdiff_t>(s * kSector));
  }
  const ReadDamage& d = disk.state.readDamage;
  ASSERT_FALSE(d.ranges.empty());
  EXPECT_EQ(d.ranges.front().first, 1024 * kSector);
  const uint64_t lostTo = d.ranges.back().end;
  EXPECT_GE(lostTo, (1024 + dead) * kSector);
  EXPECT_LE(lostTo, (1024 + 2 * dead) * kSector);
  // Outside the ranges named, every byte is the disk's.
  for (const ByteRange& r : d.ranges) std::fill(disk.bytes.begin() + r.first, disk.bytes.begin() + r.end, 0);
  EXPECT_TRUE(whole == disk.bytes);
  EXPECT_TRUE(std::equal(whole.begin() + static_cast<ptrdiff_t>(lostTo), whole.end(),
                         Numbered(total).begin() + static_cast<ptrdiff_t>(lostTo)));
  EXPECT_GT(d.skips, 3u);
  EXPECT_GT(d.skippedBytes, 8u << 20);
  // Sector by sector the stretch would cost 32768 reads; bisecting the first
  // 64 about 130, each skip one or two, each good megabyte a few.
  EXPECT_LT(disk.device->reads, 400u) << disk.device->reads;
}

// A device whose failed reads each take a while, as a dying disk's do.
class SlowFailures : public FaultyDevice {
 public:
  using FaultyDevice::FaultyDevice;
  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    const bool ok = FaultyDevice::Read(offset, out);
    if (!ok) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return ok;
  }
};

class CancelAfter : public Progress {
 public:
  explicit CancelAfter(std::chrono::milliseconds after) : until_(std::chrono::steady_clock::now() + after) {}
  int OpenProgress() override { return 1; }
  void StartPhase(std::string_view, uint64_t) override {}
  void ShowFileLabel() override {}
  int Update(uint64_t) override { return 1; }
  int PumpAndCheckCancel() override { return std::chrono::steady_clock::now() >= until_ ? 1 : 0; }
  void SetFileName(std::string_view) override {}
  void CloseProgress() override {}

 private:
  std::chrono::steady_clock::time_point until_;
};

TEST(ReadAround, CancelEndsTheRetriesWithinASecond) {
  Disk disk(8192);
  auto slow = std::make_unique<SlowFailures>(std::make_unique<platform::MemoryBlockDevice>(disk.bytes));
  slow->FailReads(0, 8192);
  disk.state.volumeHandle = std::move(slow);
  CancelAfter progress(std::chrono::milliseconds(200));
  disk.state.progress = &progress;
  std::vector<uint8_t> out(8192 * kSector);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ReadSectors(disk.state, 0, 8192, out));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(disk.state.cancelled, 1);
  EXPECT_LT(took, std::chrono::seconds(1));
  // What was not tried is unreadable, not good.
  EXPECT_EQ(UnreadableBytes(disk.state.readDamage), 8192 * kSector);
}

TEST(ReadDamage, RangesMergeAndClip) {
  ReadDamage d;
  AddUnreadable(d, 100, 200);
  AddUnreadable(d, 300, 400);
  AddUnreadable(d, 200, 250);
  AddUnreadable(d, 50, 60);
  EXPECT_EQ(d.ranges, (std::vector<ByteRange>{{50, 60}, {100, 250}, {300, 400}}));
  AddUnreadable(d, 55, 350);
  EXPECT_EQ(d.ranges, (std::vector<ByteRange>{{50, 400}}));
  EXPECT_EQ(UnreadableIn(d, 0, 60), (std::vector<ByteRange>{{50, 60}}));
  EXPECT_TRUE(UnreadableIn(d, 400, 500).empty());
  EXPECT_EQ(DamageSizeText(4096), "4 KiB");
  EXPECT_EQ(DamageSizeText(512), "512 バイト");
  EXPECT_EQ(DamageSizeText(1536 * 1024), "1.5 MiB");
}

}  // namespace
}  // namespace vellum::volume
