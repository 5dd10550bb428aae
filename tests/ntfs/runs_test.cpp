// Run lists, reads of attribute clusters (sparse runs, the initialized size,
// compression units) and LZNT1.
#include <gtest/gtest.h>

#include <string>

#include "ntfs/attribute.h"
#include "ntfs/attribute_data.h"
#include "ntfs/data_runs.h"
#include "ntfs/lznt1.h"
#include "support/lznt1_compress.h"
#include "support/ntfs_builder.h"

namespace vellum::ntfs {
namespace {

using testing::CompressLznt1;
using testing::EncodeRuns;
using testing::NtfsTestVolume;
using testing::RecordBuilder;

std::vector<Run> Decode(std::vector<uint8_t> bytes, uint64_t firstVcn = 0) {
  std::vector<Run> runs;
  RunListReader reader(bytes, firstVcn);
  for (Run r; reader.Next(r);) runs.push_back(r);
  return runs;
}

TEST(RunLists, DocumentedExamples) {
  const auto runs = Decode({0x21, 0x10, 0x00, 0x40, 0x11, 0x08, 0xF0, 0x01, 0x10, 0x00});
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].length, 16u);
  EXPECT_EQ(runs[0].lcn, 0x4000u);
  EXPECT_EQ(runs[1].firstVcn, 16u);
  EXPECT_EQ(runs[1].length, 8u);
  EXPECT_EQ(runs[1].lcn, 0x4000u - 16);
  EXPECT_TRUE(runs[2].sparse);
  EXPECT_EQ(runs[2].length, 16u);
  EXPECT_EQ(runs[2].lcn, 0u);
}

TEST(RunLists, DamageEndsTheListAfterTheGoodRuns) {
  const std::vector<uint8_t> good = {0x11, 0x04, 0x20};  // 4 clusters at 32
  auto after = [&](std::vector<uint8_t> tail) {
    std::vector<uint8_t> b = good;
    b.insert(b.end(), tail.begin(), tail.end());
    return Decode(b, 5);
  };
  EXPECT_EQ(after({0x21, 0x04}).size(), 1u);                              // cut off
  EXPECT_EQ(after({0x11, 0x04, 0xC0}).size(), 1u);                        // LCN 32 - 64 < 0
  EXPECT_EQ(after({0x10, 0x05}).size(), 1u);                              // no length bytes
  EXPECT_EQ(after({0x11, 0x00, 0x05}).size(), 1u);                        // zero length
  EXPECT_EQ(after({0x19, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x05}).size(), 1u);   // 9 length bytes
  EXPECT_EQ(after({0x91, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}).size(), 1u);      // 9 offset bytes
  EXPECT_EQ(after({0x81, 1, 0, 0, 0, 0, 0, 0, 0, 0x7F}).size(), 2u);      // 8 bytes: far, but valid
  EXPECT_EQ(after({0x81, 1, 0, 0, 0, 0, 0, 0, 0, 0x7F, 0x81, 1, 0, 0, 0, 0, 0, 0, 0, 0x7F}).size(), 2u);  // LCN overflows
  EXPECT_EQ(after({0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}).size(), 1u);  // VCN overflows
  EXPECT_EQ(Decode(good, 5)[0].firstVcn, 5u);
}

TEST(RunLists, MapVcnWithinTheExtent) {
  Extent e{10, 40, EncodeRuns({{16, 0x4000}, {8, -16}, {16, 0}})};
  const VcnMapping a = MapVcn(e, 12);
  EXPECT_TRUE(a.found);
  EXPECT_EQ(a.lcn, 0x4002u);
  EXPECT_EQ(a.left, 14u);
  EXPECT_EQ(MapVcn(e, 26).lcn, 0x4000u - 16);
  const VcnMapping sparse = MapVcn(e, 35);
  EXPECT_TRUE(sparse.found);
  EXPECT_EQ(sparse.lcn, 0u);
  EXPECT_EQ(sparse.left, 6u);  // the run goes on to VCN 49, the extent ends at 40
  EXPECT_FALSE(MapVcn(e, 9).found);
  EXPECT_FALSE(MapVcn(e, 41).found);
  EXPECT_FALSE(MapVcn(Extent{0, 100, EncodeRuns({{4, 1}})}, 4).found);
  // Last VCN -1: an attribute without clusters, whatever its run list says.
  EXPECT_FALSE(MapVcn(Extent{0, UINT64_MAX, EncodeRuns({{4, 1}})}, 0).found);
}

TEST(RunReads, SparseRunsAreZerosAndRunsPastTheVolumeAreNotRead) {
  NtfsTestVolume v(512, 1, 1024, 64);
  for (uint64_t c = 0; c < 64; ++c) v.PutCluster(c, std::vector<uint8_t>(512, static_cast<uint8_t>(c)));
  v.Attach();
  std::vector<uint8_t> buffer(8 * 512, 0xEE);
  uint64_t sparse = 0;
  const Extent e{0, 7, EncodeRuns({{2, 10}, {3, 0}, {3, 50}})};  // 10-11, sparse, 60-62 (63 is last)
  EXPECT_EQ(ReadRunClusters(v.state, e, 0, 8, buffer, sparse), 8u);
  EXPECT_EQ(sparse, 3u);
  EXPECT_EQ(buffer[512], 11);
  EXPECT_EQ(buffer[2 * 512], 0);
  EXPECT_EQ(buffer[7 * 512], 62);

  const Extent beyond{0, 7, EncodeRuns({{2, 10}, {3, 53}})};  // 63-65: past cluster 63
  std::fill(buffer.begin(), buffer.end(), 0xEE);
  EXPECT_EQ(ReadRunClusters(v.state, beyond, 0, 5, buffer, sparse), 2u);
  EXPECT_EQ(buffer[2 * 512], 0xEE);
  // Never more than the buffer holds.
  EXPECT_EQ(ReadRunClusters(v.state, e, 0, 8, std::span(buffer).first(3 * 512), sparse), 3u);
}

std::vector<uint8_t> Text(size_t size) {
  std::string s;
  for (int i = 0; s.size() < size; ++i) s += "line " + std::to_string(i * 7 % 1000) + " of the unit\n";
  return {s.begin(), s.begin() + static_cast<ptrdiff_t>(size)};
}

std::vector<uint8_t> Noise(size_t size, uint32_t seed) {
  std::vector<uint8_t> v(size);
  for (auto& b : v) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
  return v;
}

TEST(Lznt1, RoundTripsReferencesAtEveryPositionOfAChunk) {
  auto data = Text(3 * 4096 + 1000);
  const auto noise = Noise(300, 7);
  std::copy(noise.begin(), noise.end(), data.begin() + 4096 + 10);
  const auto packed = CompressLznt1(data);
  ASSERT_LT(packed.size(), data.size() / 2);
  std::vector<uint8_t> out(4 * 4096, 0xEE);
  EXPECT_EQ(DecompressLznt1(packed, out), data.size());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
  EXPECT_EQ(out.back(), 0);
}

TEST(Lznt1, StoredChunkThenCompressedChunkInAnEightKiBUnit) {
  // The second chunk starts at byte 4098, past the unit's first 4 KiB.
  auto data = Noise(4096, 3);
  const auto text = Text(4096);
  data.insert(data.end(), text.begin(), text.end());
  const auto packed = CompressLznt1(data);
  ASSERT_EQ(Le16(packed, 0), 0x3FFF);
  ASSERT_LT(packed.size(), 15u * 512);
  std::vector<uint8_t> unit(16 * 512, 0);
  std::copy(packed.begin(), packed.end(), unit.begin());
  std::vector<uint8_t> out(unit.size());
  DecompressLznt1(unit, out);
  EXPECT_EQ(out, data);
}

TEST(Lznt1, DamageEndsCleanly) {
  const auto data = Text(4096);
  auto packed = CompressLznt1(data);
  std::vector<uint8_t> out(4096);
  // Cut in the middle: what was decoded stays, the rest is zeros.
  const size_t produced = DecompressLznt1(std::span(packed).first(packed.size() / 2), out);
  EXPECT_GT(produced, 0u);
  EXPECT_LT(produced, 4096u);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + static_cast<ptrdiff_t>(produced), data.begin()));
  EXPECT_EQ(out[produced], 0);
  // A back-reference before the start of the piece.
  const std::vector<uint8_t> before = {0x03, 0xB0, 0x02, 'a', 0x00, 0x10};  // displacement 2 at position 1
  EXPECT_EQ(DecompressLznt1(before, out), 1u);
  // An output smaller than the chunks.
  std::vector<uint8_t> small(100);
  EXPECT_EQ(DecompressLznt1(packed, small), 100u);
  EXPECT_TRUE(std::equal(small.begin(), small.end(), data.begin()));
}

// A compressed $DATA of one 16-cluster unit at LCN 20 on 512-byte clusters.
struct CompressedVolume : NtfsTestVolume {
  CompressedVolume() : NtfsTestVolume(512, 1, 1024, 64) {}
  std::vector<uint8_t> Record(const std::vector<std::pair<uint64_t, int64_t>>& runs, uint64_t size) {
    return RecordBuilder().NonResident(kAttrData, 0, 15, EncodeRuns(runs), 16 * 512, size, size, 1, 4).Build();
  }
};

TEST(AttributeClusters, CompressionUnitsBySparseCount) {
  CompressedVolume v;
  const auto data = Text(16 * 512);
  const auto packed = CompressLznt1(data);
  ASSERT_LE(packed.size(), 11u * 512);
  std::vector<uint8_t> stored(11 * 512, 0);
  std::copy(packed.begin(), packed.end(), stored.begin());
  for (size_t c = 0; c < 11; ++c) v.PutCluster(20 + c, {stored.begin() + c * 512, stored.begin() + (c + 1) * 512});
  v.Attach();
  std::vector<uint8_t> out(16 * 512);
  // 11 clusters and 5 sparse: decompressed.
  ASSERT_TRUE(ReadAttributeClusters(v.state, v.Record({{11, 20}, {5, 0}}, 16 * 512), kAttrData, 0, 16, out, true));
  EXPECT_EQ(out, data);
  // Without decompression, the stored bytes.
  ReadAttributeClusters(v.state, v.Record({{11, 20}, {5, 0}}, 16 * 512), kAttrData, 0, 16, out, false);
  EXPECT_TRUE(std::equal(stored.begin(), stored.end(), out.begin()));
  // All 16 sparse: zeros.
  std::fill(out.begin(), out.end(), 0xEE);
  ReadAttributeClusters(v.state, v.Record({{16, 0}}, 16 * 512), kAttrData, 0, 16, out, true);
  EXPECT_EQ(out, std::vector<uint8_t>(16 * 512, 0));
  // No sparse cluster: taken as stored.
  ReadAttributeClusters(v.state, v.Record({{16, 20}}, 16 * 512), kAttrData, 0, 16, out, true);
  EXPECT_TRUE(std::equal(stored.begin(), stored.end(), out.begin()));
}

TEST(AttributeClusters, BytesPastTheInitializedSizeAreZeros) {
  NtfsTestVolume v(512, 8, 1024, 64);
  v.PutCluster(30, std::vector<uint8_t>(4096, 0x55));
  v.PutCluster(31, std::vector<uint8_t>(4096, 0x66));
  v.Attach();
  const auto record =
      RecordBuilder().NonResident(kAttrData, 0, 1, EncodeRuns({{2, 30}}), 8192, 8192, 4096 + 100).Build();
  std::vector<uint8_t> out(2 * 4096, 0xEE);
  EXPECT_TRUE(ReadAttributeClusters(v.state, record, kAttrData, 0, 2, out, false));
  EXPECT_EQ(out[4095], 0x55);
  EXPECT_EQ(out[4096 + 99], 0x66);
  EXPECT_EQ(out[4096 + 100], 0);
  EXPECT_EQ(out.back(), 0);
  // Wholly past it: zeros without a read.
  std::fill(out.begin(), out.end(), 0xEE);
  EXPECT_TRUE(ReadAttributeClusters(v.state, record, kAttrData, 2, 2, out, false));
  EXPECT_EQ(out, std::vector<uint8_t>(2 * 4096, 0));
  // No such attribute: zeros, and false.
  std::fill(out.begin(), out.end(), 0xEE);
  EXPECT_FALSE(ReadAttributeClusters(v.state, record, kAttrBitmap, 0, 2, out, false));
  EXPECT_EQ(out[0], 0);
}

}  // namespace
}  // namespace vellum::ntfs
