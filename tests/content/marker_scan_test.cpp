#include "content/marker_scan.h"

#include <gtest/gtest.h>

#include "content/analyse_cluster.h"
#include "content_volume.h"

namespace vellum::content {
namespace {

using testing::ContentVolume;

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> b) { return b; }

TEST(MarkerScan, FindsTheFirstMatchInAnyCluster) {
  ContentVolume v(volume::kFat32, 4096, 8);
  v.PutAt(10'000, Bytes({0xFF, 0xD9}));
  v.PutAt(12'000, Bytes({0xFF, 0xD9}));
  v.Attach();
  EXPECT_EQ(MarkerScan(v.state, 2, kJpegEnd), 10'002u);

  ContentVolume straddle(volume::kFat32, 4096, 8);
  straddle.PutAt(4095, Bytes({0xFF, 0xD9}));  // FF ends cluster 2, D9 begins cluster 3
  straddle.Attach();
  EXPECT_EQ(MarkerScan(straddle.state, 2, kJpegEnd), 4097u);

  ContentVolume png(volume::kFat32, 512, 8);  // the 8-byte pattern across a boundary
  png.PutAt(1020, Bytes({0, 0, 0, 0, 'I', 'E', 'N', 'D'}));
  png.Attach();
  EXPECT_EQ(MarkerScan(png.state, 2, kPngEnd), 1028u);
}

// Every start offset around the first two cluster boundaries, for each kind
// of pattern: the size is the pattern's end, whichever cluster it begins in.
TEST(MarkerScan, FindsEachPatternWhereverItStraddlesABoundary) {
  struct Case {
    MarkerPattern pattern;
    std::vector<uint8_t> bytes;
    uint64_t counted;
  };
  const Case cases[] = {{kJpegEnd, {0xFF, 0xD9}, 2},
                        {kZipEndRecord, {'P', 'K', 5, 6}, 4},
                        {kPngEnd, {0, 0, 0, 0, 'I', 'E', 'N', 'D'}, 8},
                        {kMpegVideoEnd, {0, 0, 1, 0xB7, 0, 0, 1, 0xB5}, 4}};
  for (const Case& c : cases) {
    for (uint64_t boundary : {512u, 1024u}) {
      for (uint64_t at = boundary - 9; at <= boundary + 2; ++at) {
        ContentVolume v(volume::kFat32, 512, 8);
        v.PutAt(at, c.bytes);
        v.Attach();
        EXPECT_EQ(MarkerScan(v.state, 2, c.pattern), at + c.counted) << "pattern at " << at;
      }
    }
  }
}

// Compressed data is full of near misses (FF 00 in JPEG): the first true
// match wins wherever it lies among them, at either end of a cluster too.
TEST(MarkerScan, FindsTheFirstMatchAmongNearMisses) {
  std::vector<uint8_t> stuffed(3 * 4096);
  for (size_t i = 0; i + 1 < stuffed.size(); i += 3) stuffed[i] = 0xFF;  // FF 00 00 FF 00 00 ...
  for (uint64_t at : {0u, 1u, 31u, 32u, 33u, 100u, 4000u, 4062u, 4063u, 4064u, 4093u, 4094u, 4095u, 4096u, 8190u}) {
    ContentVolume v(volume::kFat32, 4096, 8);
    v.PutAt(0, stuffed);
    v.PutAt(at, Bytes({0xFF, 0xD9}));
    v.PutAt(at + 5, Bytes({0xFF, 0xD9}));  // a later match in the same stretch
    v.Attach();
    EXPECT_EQ(MarkerScan(v.state, 2, kJpegEnd), at + 2) << "marker at " << at;
  }
}

TEST(MarkerScan, FollowsFreeClustersOrContiguousOnes) {
  // Clusters 2 and 4 free, 3 in use and holding the marker.
  ContentVolume v(volume::kNtfs, 512, 8);
  v.PutAt(512 + 100, Bytes({0x00, 0x3B}));
  v.PutAt(1024 + 20, Bytes({0x00, 0x3B}));
  v.MarkUsed(1);
  v.Attach();
  // From free cluster 0: clusters 0 and 2 hold file offsets 0-511 and 512-1023.
  EXPECT_EQ(MarkerScan(v.state, 0, kGifTrailer), 512u + 20 + 2);
  // Found by a full scan in a used cluster: the file is taken as contiguous.
  EXPECT_EQ(MarkerScan(v.state, 1, kGifTrailer), 100u + 2);
}

TEST(MarkerScan, EndCodeNotFollowedByANewStart) {
  ContentVolume v(volume::kFat32, 512, 8);
  // Two program streams joined: the first end code is followed by a pack header.
  v.PutAt(300, Bytes({0, 0, 1, 0xB9, 0, 0, 1, 0xBA}));
  v.PutAt(900, Bytes({0, 0, 1, 0xB9, 0, 0, 1, 0xBB}));
  v.Attach();
  EXPECT_EQ(MarkerScan(v.state, 2, kMpegProgramEnd), 904u);
}

TEST(MarkerScan, WithoutAMatchEndsAtTheVolumeEnd) {
  ContentVolume v(volume::kFat32, 512, 6);  // clusters 2 to 7
  v.Attach();
  EXPECT_EQ(MarkerScan(v.state, 4, kJpegEnd), 4u * 512 - 1);
  EXPECT_EQ(MarkerScan(v.state, 4, kZipEndRecord), 4u * 512 - 3);
  EXPECT_EQ(MarkerScan(v.state, 4, kMpegVideoEnd), 4u * 512 - 7);
}

// Reads nothing: the first cluster's fill stays in the buffer for every pass.
class FilledDevice : public platform::BlockDevice {
 public:
  bool Read(uint64_t, std::span<uint8_t> out) override {
    if (!out.empty() && out[0] != 0xEE) std::fill(out.begin(), out.end(), 0xEE);
    return true;
  }
  bool Write(uint64_t, std::span<const uint8_t>) override { return false; }
  uint64_t Size() const override { return UINT64_MAX; }
  uint32_t SectorSize() const override { return 512; }
  bool Writable() const override { return false; }
};

TEST(MarkerScan, StopsAtItsLimitOnAHugeVolume) {
  volume::ScanState s;
  s.fsKind = volume::kNtfs;  // no bitmap: every cluster counts as used, read contiguously
  s.bytesPerSector = 512;
  s.sectorsPerCluster = 2048;
  s.clusterBytes = 1 << 20;
  s.lastCluster = uint64_t{1} << 40;
  s.volumeHandle = std::make_unique<FilledDevice>();
  // n passes have covered n MiB less the carry-over; the scan stops once that reaches the limit.
  EXPECT_EQ(MarkerScan(s, 7, kJpegEnd), 10'001ull * (1 << 20) - 1);
  EXPECT_EQ(MarkerScan(s, 7, kMpegProgramEnd), 4'097ull * (1 << 20) - 7);
}

class CancelAfter : public Progress {
 public:
  explicit CancelAfter(int pumps) : left_(pumps) {}
  int OpenProgress() override { return 1; }
  void StartPhase(std::string_view, uint64_t) override {}
  void ShowFileLabel() override {}
  int Update(uint64_t) override { return 1; }
  int PumpAndCheckCancel() override { return --left_ <= 0 ? 1 : 0; }
  void SetFileName(std::string_view name) override { lastText = name; }
  void CloseProgress() override {}
  std::string lastText;

 private:
  int left_;
};

TEST(MarkerScan, CancelReturnsTheSizeReached) {
  ContentVolume v(volume::kFat32, 512, 8);
  v.Attach();
  CancelAfter first(1);
  v.state.progress = &first;
  EXPECT_EQ(MarkerScan(v.state, 2, kJpegEnd), 0u);
  EXPECT_EQ(v.state.cancelled, 1);

  v.state.cancelled = 0;
  CancelAfter third(3);
  v.state.progress = &third;
  EXPECT_EQ(MarkerScan(v.state, 2, kJpegEnd), 511u + 512);
  EXPECT_EQ(third.lastText, "サイズ解析中 (511 バイト)");
}

// Cancel during a size analysis: the fragments of images and streams are not
// listed, while ZIP and PDF keep their row with what was measured.
TEST(MarkerScan, CancelDropsImageRowsButKeepsZipAndPdf) {
  struct Case {
    std::vector<uint8_t> head;
    const char* expectSize;  // empty: dropped
  };
  const Case cases[] = {
      {Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F', 0}), ""},
      {Bytes({'G', 'I', 'F', '8', '9', 'a'}), ""},
      {Bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}), ""},
      {Bytes({0, 0, 1, 0xBA}), ""},
      {Bytes({'P', 'K', 3, 4}), "10485760"},  // cancelled before the first read
      {Bytes({'%', 'P', 'D', 'F', '-'}), "       3"},
  };
  for (const Case& c : cases) {
    ContentVolume v(volume::kFat32, 512, 8);
    v.Put(2, c.head);
    v.Attach();
    CancelAfter progress(1);
    v.state.progress = &progress;
    AnalyseClusterContents(v.state, 2, v.Cluster(2));
    if (*c.expectSize == '\0') {
      EXPECT_TRUE(v.rows.rows.empty()) << v.rows.rows[0].name;
    } else {
      ASSERT_EQ(v.rows.rows.size(), 1u);
      EXPECT_EQ(v.rows.rows[0].Cell(2), c.expectSize);
    }
  }
}

}  // namespace
}  // namespace vellum::content
