// What begins inside a file already listed by its structure is part of that
// file, whatever its family: a camera clip's program table that comes round
// on a cluster boundary, a photo among a WAV's samples or inside a PNG's
// image data. The claim ends where the listed file ends, and where its own
// walk found it damaged: a file after that is listed.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "content/analyse_cluster.h"
#include "content/format_measures.h"
#include "content_volume.h"

namespace vellum::content {
namespace {

using testing::ContentVolume;
using testing::ReadSample;
using Bytes = std::vector<uint8_t>;

using testing::Append;
using testing::PngChunk;

// Every cluster from `first` to the last, as a full cluster scan hands them over.
void ScanAll(ContentVolume& v, uint64_t first) {
  v.Attach();
  for (uint64_t c = first; c <= v.state.lastCluster; ++c) AnalyseClusterContents(v.state, c, v.Cluster(c));
}

std::vector<std::pair<std::string, uint64_t>> Listed(const ContentVolume& v) {
  std::vector<std::pair<std::string, uint64_t>> out;
  for (const auto& row : v.rows.rows) out.emplace_back(row.name, std::stoull(row.Cell(2)));
  return out;
}

using Listing = std::vector<std::pair<std::string, uint64_t>>;

// tools/fixtures/make_format_samples.sh: eight seconds of H.264 and AC-3
// from ffmpeg in 192-byte packets; its program association table, repeated
// every tenth of a second, is back at counter 0 in packet 336, at byte
// 64,512 (a 512- and 1,024-byte boundary).
constexpr uint64_t kTableRepeatAt = 336 * 192;

struct ClipCase {
  uint8_t fsKind;
  uint32_t clusterBytes;
};

void PrintTo(const ClipCase& c, std::ostream* os) {
  *os << (c.fsKind == volume::kNtfs ? "NTFS" : "FAT32") << ", " << c.clusterBytes << "-byte clusters";
}

class AvchdClip : public ::testing::TestWithParam<ClipCase> {};

TEST_P(AvchdClip, IsOneRowThoughATableInsideLooksLikeAStreamsStart) {
  const auto [fsKind, clusterBytes] = GetParam();
  const Bytes clip = ReadSample("avchd.m2ts");
  ASSERT_EQ(clip.size() % clusterBytes, 0u);
  const uint64_t clusters = clip.size() / clusterBytes;
  const uint64_t first = fsKind == volume::kNtfs ? 3 : 5;
  ContentVolume v(fsKind, clusterBytes, 2 * clusters + 16);
  v.Put(first, clip);
  // The camera's next clip right after it: a row of its own.
  v.Put(first + clusters, clip);
  const uint64_t inside = first + kTableRepeatAt / clusterBytes;
  ASSERT_EQ(TransportPacketBytes(v.Cluster(inside)), 192u) << "the clip no longer tests a table inside it";
  ScanAll(v, fsKind == volume::kNtfs ? 0 : 2);
  EXPECT_EQ(Listed(v), (Listing{{"不明" + std::to_string(first) + ".mts", clip.size()},
                                {"不明" + std::to_string(first + clusters) + ".mts", clip.size()}}));
}

INSTANTIATE_TEST_SUITE_P(Clusters, AvchdClip,
                         ::testing::Values(ClipCase{volume::kFat32, 512}, ClipCase{volume::kFat32, 1024},
                                           ClipCase{volume::kNtfs, 512}),
                         [](const auto& info) {
                           return std::string(info.param.fsKind == volume::kNtfs ? "Ntfs" : "Fat32") +
                                  std::to_string(info.param.clusterBytes);
                         });

// On a free-cluster scan a clip is followed over free clusters only: a
// cluster in use between its clusters belongs to another file, and what
// begins there is listed.
TEST(CarvedSpans, AClusterInUseAmongAClipsClustersIsNotTheClips) {
  const Bytes clip = ReadSample("avchd.m2ts");
  const Bytes photo = ReadSample("jfif.jpg");
  ContentVolume v(volume::kFat32, 512, clip.size() / 512 + 16);
  std::vector<uint64_t> clusters = {2, 3};
  for (uint64_t c = 5; clusters.size() * 512 < clip.size(); ++c) clusters.push_back(c);
  v.PutScattered(clusters, clip);
  v.Put(4, photo);
  v.MarkUsed(4);
  ScanAll(v, 2);
  EXPECT_EQ(Listed(v), (Listing{{"不明2.mts", clip.size()}, {"不明4.jpg", photo.size()}}));
}

// A photo among a WAV's samples, on a cluster boundary: the RIFF size
// claims it, also when a filter for photos leaves the WAV itself unlisted.
TEST(CarvedSpans, APhotoAmongAWavsSamplesIsPartOfTheWav) {
  Bytes wav = ReadSample("tone.wav");
  const Bytes photo = ReadSample("jfif.jpg");
  ASSERT_GT(wav.size(), 1536 + photo.size());
  std::copy(photo.begin(), photo.end(), wav.begin() + 1536);
  for (const char* filter : {"", ".JPG"}) {
    ContentVolume v(volume::kFat32, 512, wav.size() / 512 + 8);
    v.Put(2, wav);
    v.state.options.filter = filter;
    ScanAll(v, 2);
    EXPECT_EQ(Listed(v), *filter ? Listing{} : (Listing{{"不明2.wav", wav.size()}})) << filter;
  }
}

// A PNG whose image data hold a photo's bytes from a cluster boundary on.
// With every CRC right the photo is the PNG's data; with the data's CRC
// wrong (the photo was written over the PNG) the PNG is damaged from that
// chunk and the photo is listed.
TEST(CarvedSpans, APngClaimsItsClustersUpToWhereItsCrcsGoWrong) {
  const Bytes photo = ReadSample("jfif.jpg");
  for (const bool rightCrc : {true, false}) {
    Bytes data(3000, 7);
    const size_t photoAt = 1024 - (8 + 25 + 8);  // past the signature, IHDR and the IDAT header
    std::copy(photo.begin(), photo.end(), data.begin() + photoAt);
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Append(png, PngChunk("IHDR", Bytes(13, 1)));
    Append(png, PngChunk("IDAT", data, rightCrc));
    Append(png, PngChunk("IEND", {}));
    ContentVolume v(volume::kFat32, 512, 16);
    v.Put(2, png);
    ScanAll(v, 2);
    Listing expected = {{"不明2.png", png.size()}};
    if (!rightCrc) expected.emplace_back("不明4.jpg", photo.size());
    EXPECT_EQ(Listed(v), expected) << rightCrc;
  }
}

// Two MP3 files of the same encoder back to back, no tags around their
// frames: the walk ends before the second file's first frame, which carries
// the encoder's tag again.
TEST(MeasureMp3, EndsBeforeTheNextFilesTaggedFirstFrame) {
  const Bytes tagged = ReadSample("tone.mp3");
  // Without its ID3v2 tag (syncsafe size at 6) and its ID3v1 trailer.
  const size_t tag = 10 + ((tagged[6] << 21) | (tagged[7] << 14) | (tagged[8] << 7) | tagged[9]);
  Bytes bare(tagged.begin() + static_cast<ptrdiff_t>(tag), tagged.end());
  if (bare.size() > 128 && std::equal(bare.end() - 128, bare.end() - 125, "TAG")) bare.resize(bare.size() - 128);
  ASSERT_TRUE(Mp3Signature(bare));
  Bytes two = bare;
  Append(two, bare);
  ContentVolume v(volume::kFat32, 512, two.size() / 512 + 8);
  v.Put(2, two);
  v.Attach();
  EXPECT_EQ(MeasureMp3(v.state, 2, v.Cluster(2)).size, bare.size());
}

}  // namespace
}  // namespace vellum::content
