// The read-ahead must return exactly what the device returns, whatever the
// offsets, the device's end and its failures.
#include "platform/read_ahead.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/posix/posix_block_device.h"

namespace vellum::platform {
namespace {

constexpr uint64_t kBlock = ReadAheadDevice::kBlockBytes;

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
  return bytes;
}

// A memory device that fails every read touching [badStart, badEnd), zeroing
// what it could not read, and counts the reads it was asked for.
class FlakyDevice : public MemoryBlockDevice {
 public:
  FlakyDevice(std::vector<uint8_t> bytes, uint64_t badStart, uint64_t badEnd)
      : MemoryBlockDevice(std::move(bytes), true), badStart_(badStart), badEnd_(badEnd) {}
  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    ++reads;
    const bool ok = MemoryBlockDevice::Read(offset, out);
    bool failed = false;
    for (uint64_t i = std::max(offset, badStart_); i < std::min(offset + out.size(), badEnd_); ++i) {
      out[i - offset] = 0;
      failed = true;
    }
    return ok && !failed;
  }
  int reads = 0;

 private:
  uint64_t badStart_, badEnd_;
};

struct Pair {
  Pair(size_t size, uint64_t badStart = 0, uint64_t badEnd = 0)
      : direct(Pattern(size), badStart, badEnd),
        cached(std::make_unique<FlakyDevice>(Pattern(size), badStart, badEnd)) {}
  void Expect(uint64_t offset, size_t size) {
    std::vector<uint8_t> a(size, 0xEE), b(size, 0xEE);
    const bool okA = direct.Read(offset, a);
    const bool okB = cached.Read(offset, b);
    EXPECT_EQ(okA, okB) << "at " << offset << " size " << size;
    EXPECT_EQ(a, b) << "at " << offset << " size " << size;
  }
  FlakyDevice direct;
  ReadAheadDevice cached;
};

TEST(ReadAhead, ReturnsWhatTheDeviceReturnsAnywhere) {
  // A device that ends inside a block, with a bad range in its second block.
  const size_t size = 3 * kBlock + 5000;
  Pair p(size, kBlock + 10'000, kBlock + 12'000);
  std::mt19937_64 random(7);
  for (int i = 0; i < 2000; ++i) {
    const uint64_t offset = random() % (size + 8192);
    const size_t length = 1 + random() % 70'000;
    p.Expect(offset, length);
  }
  // Block edges, the device's end, a transfer larger than a block, a range
  // that wraps the offset arithmetic.
  for (uint64_t edge : {kBlock, 2 * kBlock, 3 * kBlock, uint64_t{size}}) {
    p.Expect(edge - 512, 1024);
    p.Expect(edge - 4096, 4096);
    p.Expect(edge, 4096);
  }
  p.Expect(100, 2 * kBlock);
  p.Expect(UINT64_MAX - 10, 100);
}

TEST(ReadAhead, ReadsEachBlockOnceAndFailedBlocksOnlyOnce) {
  auto device = std::make_unique<FlakyDevice>(Pattern(4 * kBlock), kBlock + 100, kBlock + 200);
  FlakyDevice* raw = device.get();
  ReadAheadDevice cached(std::move(device));
  std::vector<uint8_t> cluster(4096);
  for (uint64_t at = 0; at < kBlock; at += 4096) ASSERT_TRUE(cached.Read(at, cluster));
  EXPECT_EQ(raw->reads, 1);
  // The second block fails as a whole: one attempt, then each cluster is read
  // directly, and only the one holding the bad bytes fails.
  int failures = 0;
  for (uint64_t at = kBlock; at < 2 * kBlock; at += 4096) failures += cached.Read(at, cluster) ? 0 : 1;
  EXPECT_EQ(failures, 1);
  EXPECT_EQ(raw->reads, 2 + 256);
}

TEST(ReadAhead, WritesAreSeenByLaterReads) {
  ReadAheadDevice cached(std::make_unique<MemoryBlockDevice>(Pattern(2 * kBlock), true));
  std::vector<uint8_t> before(16), after(16);
  ASSERT_TRUE(cached.Read(4096, before));
  const std::vector<uint8_t> ones(16, 1);
  ASSERT_TRUE(cached.Write(4096, ones));
  ASSERT_TRUE(cached.Read(4096, after));
  EXPECT_EQ(after, ones);
}

TEST(ReadAhead, EachHoldersViewSurvivesReadsOfManyOtherBlocks) {
  const size_t blocks = ReadAheadDevice::kBlocks * 2;
  const std::vector<uint8_t> bytes = Pattern(blocks * kBlock);
  ReadAheadDevice cached(std::make_unique<MemoryBlockDevice>(bytes));
  const auto scan = cached.View(kBlock + 8192, 4096, 0);
  const auto analysis = cached.View(3 * kBlock, 4096, 1);
  ASSERT_EQ(scan.size(), 4096u);
  ASSERT_EQ(analysis.size(), 4096u);
  std::vector<uint8_t> cluster(4096);
  for (uint64_t b = 4; b < blocks; ++b) ASSERT_TRUE(cached.Read(b * kBlock, cluster));
  EXPECT_TRUE(std::equal(scan.begin(), scan.end(), bytes.begin() + kBlock + 8192));
  EXPECT_TRUE(std::equal(analysis.begin(), analysis.end(), bytes.begin() + 3 * kBlock));
  // A holder with no view yet does not keep empty blocks from being used.
  ReadAheadDevice fresh(std::make_unique<MemoryBlockDevice>(bytes));
  const auto only = fresh.View(8192, 4096, 0);
  ASSERT_TRUE(fresh.Read(5 * kBlock, cluster));
  EXPECT_TRUE(std::equal(only.begin(), only.end(), bytes.begin() + 8192));
  // Ranges that cross a block's end, or the device's, are not viewed.
  EXPECT_TRUE(cached.View(kBlock - 100, 4096, 0).empty());
  EXPECT_TRUE(cached.View(blocks * kBlock - 100, 4096, 0).empty());
}

// The scan (holder 0) moves forward and the blocks behind it are reused
// first: what an analysis read ahead is still there when the scan gets
// there, and a view the analysis holds stays valid once the scan has passed.
TEST(ReadAhead, TheScanReusesTheBlocksItLeftBehind) {
  const uint64_t blocks = 3 * ReadAheadDevice::kBlocks;
  const std::vector<uint8_t> bytes = Pattern(blocks * kBlock);
  auto device = std::make_unique<FlakyDevice>(bytes, 0, 0);
  FlakyDevice* raw = device.get();
  ReadAheadDevice cached(std::move(device));
  for (uint64_t b = 0; b < 5; ++b) ASSERT_EQ(cached.View(b * kBlock, 4096, 0).size(), 4096u);
  const auto held = cached.View(4 * kBlock + 4096, 4096, 1);
  ASSERT_EQ(held.size(), 4096u);
  std::vector<uint8_t> cluster(4096);
  const uint64_t ahead = ReadAheadDevice::kBlocks - 1;
  for (uint64_t b = 5; b < 5 + ahead; ++b) ASSERT_TRUE(cached.Read(b * kBlock, cluster));
  for (uint64_t b = 5; b < blocks; ++b) {
    const auto view = cached.View(b * kBlock + 8192, 4096, 0);
    ASSERT_EQ(view.size(), 4096u);
    ASSERT_TRUE(std::equal(view.begin(), view.end(), bytes.begin() + b * kBlock + 8192));
  }
  EXPECT_EQ(raw->reads, static_cast<int>(blocks));
  EXPECT_TRUE(std::equal(held.begin(), held.end(), bytes.begin() + 4 * kBlock + 4096));
}

}  // namespace
}  // namespace vellum::platform

namespace vellum::platform {
namespace {

// The holes of a sparse image file are named as such through the read-ahead
// and a partition's window, in the window's own offsets; data is never
// called a hole.
TEST(SparseImage, HolesAreNamedThroughTheReadAheadAndAWindow) {
  constexpr uint64_t kMiB = 1 << 20;
  const std::string path = ::testing::TempDir() + "vellum-sparse-" + std::to_string(::getpid()) + ".img";
  {
    std::ofstream out(path, std::ios::binary);
    out.seekp(static_cast<std::streamoff>(kMiB));
    out << std::string(64 * 1024, 'x');
    out.seekp(static_cast<std::streamoff>(4 * kMiB - 1));
    out.put('\0');
  }
  OpenResult opened = OpenPosixDevice(path);
  std::filesystem::remove(path);
  ASSERT_TRUE(opened.device) << opened.errorText;
  auto file = std::shared_ptr<BlockDevice>(std::move(opened.device));
  const auto [first, end] = file->DataExtentFrom(0);
  if (first == 0) GTEST_SKIP() << "the temporary folder's file system keeps no holes";
  EXPECT_EQ(first, kMiB);
  EXPECT_GE(end, kMiB + 64 * 1024);
  EXPECT_LT(end, 3 * kMiB);
  ReadAheadDevice window(std::make_unique<OffsetWindow>(file, kMiB / 2, 3 * kMiB));
  EXPECT_EQ(window.DataExtentFrom(0).first, kMiB / 2);
  EXPECT_EQ(window.DataExtentFrom(kMiB / 2 + 100).first, kMiB / 2 + 100);  // inside the data
  // The file's last block lies past the window: nothing more inside it.
  EXPECT_EQ(window.DataExtentFrom(2 * kMiB), (std::pair<uint64_t, uint64_t>{3 * kMiB, 3 * kMiB}));
  std::vector<uint8_t> bytes(4096, 0xEE);
  EXPECT_TRUE(window.Read(kMiB / 2, bytes));
  EXPECT_EQ(bytes, std::vector<uint8_t>(4096, 'x'));
}

}  // namespace
}  // namespace vellum::platform
