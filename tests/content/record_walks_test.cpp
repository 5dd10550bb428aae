#include "content/record_walks.h"

#include <gtest/gtest.h>

#include <string>

#include "content_volume.h"

namespace vellum::content {
namespace {

using testing::ContentVolume;

std::vector<uint8_t> Box(uint32_t size, const char* type) {
  return {static_cast<uint8_t>(size >> 24), static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 8),
          static_cast<uint8_t>(size), static_cast<uint8_t>(type[0]), static_cast<uint8_t>(type[1]),
          static_cast<uint8_t>(type[2]), static_cast<uint8_t>(type[3])};
}

TEST(MeasureIsoMedia, JumpsOverBoxesReadingOnlyTheirHeaders) {
  ContentVolume v(volume::kFat32, 4096, 260);
  v.PutAt(0, Box(32, "ftyp"));
  v.PutAt(32, Box(1'000'000, "mdat"));
  v.PutAt(1'000'032, Box(5'000, "moov"));
  auto& device = v.Attach();
  EXPECT_EQ(MeasureIsoMedia(v.state, 2, v.Cluster(2)), 1'005'032u);
  // The moov header, and the cluster where a fourth box would begin.
  EXPECT_EQ(device.reads, 2u);
}

TEST(MeasureIsoMedia, CountsEveryTopLevelBoxUpToOneOfNoPlausibleType) {
  ContentVolume v(volume::kFat32, 512, 64);
  v.PutAt(0, Box(8, "wide"));
  v.PutAt(8, Box(100, "mdat"));
  v.PutAt(108, Box(50, "moov"));
  v.PutAt(158, Box(40, "uuid"));
  v.PutAt(198, Box(40, "free"));
  v.PutAt(238, Box(40, "\xA9\x01\x00\x7F"));  // not a four-character code: another file's bytes
  v.Attach();
  EXPECT_EQ(MeasureIsoMedia(v.state, 2, v.Cluster(2)), 238u);

  // A 64-bit size (size field 1) after the type; the box is counted whole.
  v.PutAt(108, Box(1, "mdat"));
  v.PutAt(116, std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 50});
  v.Attach();
  EXPECT_EQ(MeasureIsoMedia(v.state, 2, v.Cluster(2)), 238u);
  // One whose 64-bit size is below its own header, or past the volume, ends the count before it.
  v.PutAt(116, std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 12});
  v.Attach();
  EXPECT_EQ(MeasureIsoMedia(v.state, 2, v.Cluster(2)), 108u);
  v.PutAt(116, std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0, 0});
  v.Attach();
  EXPECT_EQ(MeasureIsoMedia(v.state, 2, v.Cluster(2)), 108u);

  v.PutAt(0, Box(0, "ftyp"));  // nothing counted: the default size
  v.Attach();
  EXPECT_EQ(MeasureIsoMedia(v.state, 2, v.Cluster(2)), 10'485'760u);
}

std::vector<uint8_t> AsfStart(uint64_t fileSize, uint64_t firstObjectSize) {
  std::vector<uint8_t> b(30 + 24 + 48, 0);
  // One object of another kind before the File Properties Object.
  PutLe32(b, 30 + 16, static_cast<uint32_t>(firstObjectSize));
  const uint8_t guid[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                            0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  std::copy(guid, guid + 16, b.begin() + 30 + 24);
  PutLe32(b, 30 + 24 + 40, static_cast<uint32_t>(fileSize));
  PutLe32(b, 30 + 24 + 44, static_cast<uint32_t>(fileSize >> 32));
  return b;
}

TEST(MeasureAsf, TakesTheDeclaredFileSize) {
  const std::pair<uint64_t, uint64_t> cases[] = {
      {1'234'567, 1'234'567}, {0, 10'485'760}, {uint64_t{1} << 32, 10'485'760}};
  for (auto [declared, expected] : cases) {
    ContentVolume v(volume::kFat32, 512, 8);
    v.Put(2, AsfStart(declared, 24));
    v.Attach();
    EXPECT_EQ(MeasureAsf(v.state, 2, v.Cluster(2)), expected) << declared;
  }
  ContentVolume zero(volume::kFat32, 512, 8);  // an object of size 0
  zero.Put(2, AsfStart(1'234'567, 0));
  zero.Attach();
  EXPECT_EQ(MeasureAsf(zero.state, 2, zero.Cluster(2)), 10'485'760u);
}

std::vector<uint8_t> LzhHeader(uint8_t headerSize, uint32_t packed, uint8_t level) {
  std::vector<uint8_t> h(22, 0);
  h[0] = headerSize;
  const char* method = "-lh5-";
  std::copy(method, method + 5, h.begin() + 2);
  PutLe32(h, 7, packed);
  h[20] = level;
  return h;
}

TEST(MeasureLzh, SumsMemberHeadersAndDataPlusTheEndByte) {
  ContentVolume v(volume::kFat32, 512, 16);
  v.PutAt(0, LzhHeader(30, 1'000, 0));
  v.PutAt(1'032, LzhHeader(35, 2'000, 1));
  v.Attach();
  EXPECT_EQ(MeasureLzh(v.state, 2, v.Cluster(2)), 3'070u);

  // Level 2 counts the 16-bit header size from byte 0 itself.
  ContentVolume two(volume::kFat32, 512, 16);
  std::vector<uint8_t> h = LzhHeader(0, 700, 2);
  PutLe16(h, 0, 300);
  two.PutAt(0, h);
  two.Attach();
  EXPECT_EQ(MeasureLzh(two.state, 2, two.Cluster(2)), 1'001u);
}

TEST(MeasureLzh, AssemblesAHeaderThatStraddlesTwoClusters) {
  ContentVolume v(volume::kNtfs, 512, 16);
  std::vector<uint8_t> file(2'000, 0);
  const auto first = LzhHeader(20, 1'000 - 22, 0);  // the next member starts at 1000
  std::copy(first.begin(), first.end(), file.begin());
  const auto second = LzhHeader(20, 200, 0);  // bytes 1000-1021: clusters 1 and 2 of the file
  std::copy(second.begin(), second.end(), file.begin() + 1'000);
  // The file lies in clusters 0, 2 and 4; 1 and 3 are in use and full of headers.
  v.PutScattered({0, 2, 4, 5}, file);
  v.Put(1, std::vector<uint8_t>(512, '-'));
  v.Put(3, std::vector<uint8_t>(512, '-'));
  v.MarkUsed(1);
  v.MarkUsed(3);
  v.Attach();
  EXPECT_EQ(MeasureLzh(v.state, 0, v.Cluster(0)), 1'000u + 222 + 1);
}

}  // namespace
}  // namespace vellum::content
