// The measurers that follow a file's own structure: JPEG segments and scans,
// TIFF IFD chains, PNG chunks, on crafted files laid out on a small volume,
// hostile ones among them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/analyse_cluster.h"
#include "content/content_verdict.h"
#include "content/jpeg.h"
#include "content/png.h"
#include "content/tiff.h"
#include "content_volume.h"

namespace vellum::content {
namespace {

using testing::ContentVolume;
using Bytes = std::vector<uint8_t>;

using testing::Append;
using testing::PngChunk;

// A marker segment: FF, the marker, the big-endian length, the body.
Bytes Segment(uint8_t marker, const Bytes& body) {
  const size_t length = body.size() + 2;
  Bytes b = {0xFF, marker, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
  Append(b, body);
  return b;
}

// Entropy-coded data with what must not end it: stuffed FFs, restart
// markers, a fill byte before the marker that does.
Bytes EntropyData(size_t length) {
  Bytes b;
  for (size_t i = 0; b.size() < length; ++i) {
    b.push_back(static_cast<uint8_t>(i * 37));
    if (b.back() == 0xFF) b.push_back(0x00);
    if (i % 500 == 499) Append(b, {0xFF, static_cast<uint8_t>(0xD0 + (i / 500) % 8)});
  }
  return b;
}

Bytes SmallJpeg(size_t entropyBytes) {
  Bytes b = {0xFF, 0xD8};
  Append(b, Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 2, 0, 0, 1, 0, 1, 0, 0}));
  Append(b, Segment(0xDB, Bytes(65, 1)));
  Append(b, Segment(0xC0, Bytes(15, 2)));
  Append(b, Segment(0xC4, Bytes(30, 3)));
  Append(b, Segment(0xDA, Bytes(10, 4)));
  Append(b, EntropyData(entropyBytes));
  Append(b, {0xFF, 0xFF, 0xD9});
  return b;
}

struct Laid {
  ContentVolume v{volume::kFat32, 512, 400};
  uint64_t Measure(const Bytes& file, bool* whole = nullptr) {
    v.Put(2, file);
    v.Attach();
    const auto first = v.Cluster(2);
    LostFile lost(v.state, 2, first);
    const JpegLength length = MeasureJpeg(lost);
    if (whole) *whole = length.whole;
    return length.size;
  }
};

TEST(MeasureJpeg, WalksPastTheExifThumbnailAndThroughEveryScanToTheImagesEnd) {
  // Exif first, its thumbnail (with its own end-of-image marker) inside it.
  Bytes exif = {'E', 'x', 'i', 'f', 0, 0};
  Append(exif, SmallJpeg(300));
  Bytes file = {0xFF, 0xD8};
  Append(file, Segment(0xE1, exif));
  Append(file, Segment(0xFE, Bytes(20, 'c')));  // a comment
  Append(file, Segment(0xDB, Bytes(65, 1)));
  Append(file, Segment(0xC2, Bytes(15, 2)));  // progressive: several scans
  for (int scan = 0; scan < 3; ++scan) {
    Append(file, Segment(0xC4, Bytes(30, 3)));
    Append(file, Segment(0xDA, Bytes(10, 4)));
    Append(file, EntropyData(20'000));
  }
  Append(file, {0xFF, 0xD9});
  Bytes after = file;
  Append(after, SmallJpeg(100));  // the next file on the card
  Laid laid;
  bool whole = false;
  EXPECT_EQ(laid.Measure(after, &whole), file.size());
  EXPECT_TRUE(whole);
}

TEST(MeasureJpeg, TheEndMarkerStraddlingTwoClustersIsFound) {
  Bytes file = SmallJpeg(0);
  file.resize(file.size() - 3);
  // Entropy data up to the last byte of the second cluster, FF there, D9 next.
  while (file.size() < 1023) file.push_back(0x11);
  Append(file, {0xFF, 0xD9});
  Laid laid;
  EXPECT_EQ(laid.Measure(file), 1025u);
}

// An APP2 multi-picture index naming the first image (offset 0) and one
// more at `offset` from the index's TIFF header, `size` bytes long.
Bytes MpfSegment(uint32_t offset, uint32_t size) {
  Bytes tiff = {'M', 'M', 0, 0x2A, 0, 0, 0, 8, 0, 1};
  Append(tiff, {0xB0, 0x02, 0, 7, 0, 0, 0, 32, 0, 0, 0, 26, 0, 0, 0, 0});
  Bytes entries(32, 0);
  for (int i = 0; i < 4; ++i) {
    entries[16 + 4 + i] = static_cast<uint8_t>(size >> (24 - 8 * i));
    entries[16 + 8 + i] = static_cast<uint8_t>(offset >> (24 - 8 * i));
  }
  Append(tiff, entries);
  Bytes body = {'M', 'P', 'F', 0};
  Append(body, tiff);
  return Segment(0xE2, body);
}

TEST(MeasureJpeg, AMultiPictureFileReachesTheImagesItsIndexNames) {
  const Bytes preview = SmallJpeg(4000);
  auto make = [&](bool previewThere) {
    Bytes file = {0xFF, 0xD8};
    Append(file, MpfSegment(0, 0));  // sized below, once the first image's length is known
    Bytes rest = SmallJpeg(2000);
    file.insert(file.end(), rest.begin() + 2, rest.end());
    const uint32_t tiffStart = 2 + 8;
    const Bytes mpf = MpfSegment(static_cast<uint32_t>(file.size() - tiffStart), static_cast<uint32_t>(preview.size()));
    std::copy(mpf.begin(), mpf.end(), file.begin() + 2);
    const size_t firstImage = file.size();
    Append(file, previewThere ? preview : Bytes(preview.size(), 0x55));
    return std::pair{file, firstImage};
  };
  Laid laid;
  const auto [file, firstImage] = make(true);
  EXPECT_EQ(laid.Measure(file), file.size());
  // Where the index points at no JPEG, the first image's end is the file's.
  Laid other;
  const auto [broken, brokenFirst] = make(false);
  EXPECT_EQ(other.Measure(broken), brokenFirst);
}

TEST(MeasureJpeg, HostileStructuresEndTheWalkWhereTheyBreak) {
  // Another image's start inside the entropy-coded data: the photo was
  // overwritten from there on.
  Bytes cut = SmallJpeg(0);
  cut.resize(cut.size() - 3);
  cut.resize(2048, 0x21);
  const size_t overwrittenAt = cut.size();
  Append(cut, SmallJpeg(100));
  Laid laid;
  bool whole = true;
  EXPECT_EQ(laid.Measure(cut, &whole), overwrittenAt);
  EXPECT_FALSE(whole);

  // A segment length below 2, and one that runs past the volume.
  Bytes tiny = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x01};
  Laid a;
  EXPECT_EQ(a.Measure(tiny, &whole), 2u);
  EXPECT_FALSE(whole);
  Bytes past = {0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF, 'E', 'x', 'i', 'f', 0, 0};
  ContentVolume small(volume::kFat32, 512, 8);
  small.Put(2, past);
  small.Attach();
  const auto first = small.Cluster(2);
  LostFile lost(small.state, 2, first);
  const JpegLength length = MeasureJpeg(lost);
  EXPECT_FALSE(length.whole);
  EXPECT_LE(length.size, small.state.dataAreaBytes);

  // Entropy data that never ends: the walk stops at the volume's end.
  Bytes endless = SmallJpeg(0);
  endless.resize(endless.size() - 3);
  endless.resize(400 * 512, 0x42);
  Laid b;
  EXPECT_EQ(b.Measure(endless, &whole), 400u * 512);
  EXPECT_FALSE(whole);
}

// A thumbnail that happens to begin on a cluster boundary inside a listed
// photo is part of it; a photo after the first one's end is a row of its own.
TEST(AnalyseClusterContents, AThumbnailInsideAListedPhotoIsNoRowOfItsOwn) {
  Bytes exif = {'E', 'x', 'i', 'f', 0, 0};
  exif.resize(1536 - 2 - 4, 0);  // the thumbnail starts at 1,536: cluster 5
  Append(exif, SmallJpeg(300));
  Bytes file = {0xFF, 0xD8};
  Append(file, Segment(0xE1, exif));
  Bytes rest = SmallJpeg(3000);
  file.insert(file.end(), rest.begin() + 2, rest.end());
  file.resize((file.size() + 511) / 512 * 512, 0);
  const uint64_t nextCluster = 2 + file.size() / 512;
  Append(file, SmallJpeg(700));
  ContentVolume v(volume::kFat32, 512, 64);
  v.Put(2, file);
  v.Attach();
  for (uint64_t c = 2; c < 2 + 20; ++c) AnalyseClusterContents(v.state, c, v.Cluster(c));
  ASSERT_EQ(v.rows.rows.size(), 2u);
  EXPECT_EQ(v.rows.rows[0].name, "不明2.jpg");
  EXPECT_EQ(v.rows.rows[1].name, "不明" + std::to_string(nextCluster) + ".jpg");
}

// The decoder's word on a photo: whole, cut short (damaged from where the
// data end), or wrong in the middle: damaged from the start of the block
// of data in which the decoder noticed, at or a little before the damage.
TEST(CheckFoundContent, APhotoIsVerifiedOrDamagedFromWhereItWentWrong) {
  const Bytes photo = testing::ReadSample("jfif.jpg");
  auto check = [&](const Bytes& bytes, uint64_t size) {
    ContentVolume v(volume::kFat32, 512, 64);
    v.Put(2, bytes);
    v.Attach();
    return CheckFoundContent(v.state, {"不明2.jpg", "<不明>", 2, size});
  };
  EXPECT_EQ(check(photo, photo.size()), ContentCheck::Verified());
  EXPECT_EQ(check(photo, photo.size() - 40), ContentCheck::DamagedFrom(photo.size() - 40));
  Bytes garbled = photo;
  const size_t at = photo.size() - 60;
  for (size_t i = at; i < at + 20; ++i) garbled[i] = 0xFF;
  const ContentCheck damaged = check(garbled, garbled.size());
  EXPECT_EQ(damaged.verdict, ContentCheck::Verdict::kDamaged);
  EXPECT_GE(damaged.damagedFrom + 64, at);
  EXPECT_LE(damaged.damagedFrom, at + 20);
  // Types without a checker.
  ContentVolume zip(volume::kFat32, 512, 8);
  zip.Attach();
  EXPECT_EQ(CheckFoundContent(zip.state, {"不明2.zip", "<不明>", 2, 100}), ContentCheck{});
}

// --- TIFF ---------------------------------------------------------------

struct TiffWriter {
  bool big = false;
  Bytes b;
  void U16(size_t at, uint16_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    b[at + (big ? 0 : 1)] = static_cast<uint8_t>(v >> 8);
    b[at + (big ? 1 : 0)] = static_cast<uint8_t>(v);
  }
  void U32(size_t at, uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int i = 0; i < 4; ++i) b[at + (big ? i : 3 - i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
  }
  void Header(uint32_t firstIfd) {
    b.assign({big ? uint8_t('M') : uint8_t('I'), big ? uint8_t('M') : uint8_t('I')});
    U16(2, 42);
    U32(4, firstIfd);
  }
  // An IFD at `at` of entries {tag, type, count, value}; `next` after them.
  void Ifd(size_t at, const std::vector<std::array<uint32_t, 4>>& entries, uint32_t next) {
    U16(at, static_cast<uint16_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
      const size_t e = at + 2 + 12 * i;
      U16(e, static_cast<uint16_t>(entries[i][0]));
      U16(e + 2, static_cast<uint16_t>(entries[i][1]));
      U32(e + 4, entries[i][2]);
      if (entries[i][1] == 3 && entries[i][2] == 1) U16(e + 8, static_cast<uint16_t>(entries[i][3]));
      else U32(e + 8, entries[i][3]);
    }
    U32(at + 2 + 12 * entries.size(), next);
  }
};

TiffLength MeasureLaid(ContentVolume& v, const Bytes& file) {
  v.Put(2, file);
  v.Attach();
  const auto first = v.Cluster(2);
  LostFile lost(v.state, 2, first);
  return MeasureTiff(lost);
}

TEST(MeasureTiff, ReachesTheFurthestStripOfEveryIfdInBothByteOrders) {
  for (bool big : {false, true}) {
    TiffWriter t;
    t.big = big;
    t.Header(8);
    // Four strips whose offsets and counts are stored out of line; the last
    // strip ends the file at 150,000.
    t.Ifd(8, {{0x0100, 3, 1, 100}, {0x0111, 4, 4, 200}, {0x0117, 4, 4, 216}, {0x8769, 4, 1, 400}}, 0);
    for (uint32_t i = 0; i < 4; ++i) {
      t.U32(200 + 4 * i, 1000 + 30'000 * i);
      t.U32(216 + 4 * i, i == 3 ? 150'000 - (1000 + 90'000) : 20'000);
    }
    // The Exif IFD, with a maker note stored out of line up to 5,000.
    t.Ifd(400, {{0x927C, 7, 100, 4900}}, 0);
    ContentVolume v(volume::kFat32, 512, 400);
    const TiffLength length = MeasureLaid(v, t.b);
    EXPECT_EQ(length.size, 150'000u) << big;
    EXPECT_EQ(length.extension, "tif");
  }
}

TEST(MeasureTiff, TheExtensionComesFromTheStructure) {
  auto laid = [](auto build) {
    TiffWriter t;
    t.Header(16);
    build(t);
    ContentVolume v(volume::kFat32, 512, 64);
    return MeasureLaid(v, t.b).extension;
  };
  EXPECT_EQ(laid([](TiffWriter& t) {
              t.Ifd(16, {{0x0100, 3, 1, 1}}, 0);
              t.b[8] = 'C', t.b[9] = 'R';
            }),
            "cr2");
  EXPECT_EQ(laid([](TiffWriter& t) { t.Ifd(16, {{0xC612, 1, 4, 0x00000401}}, 0); }), "dng");
  EXPECT_EQ(laid([](TiffWriter& t) {
              t.Ifd(16, {{0x010F, 2, 18, 100}}, 0);
              const std::string make = "NIKON CORPORATION";
              t.b.resize(120);
              std::copy(make.begin(), make.end(), t.b.begin() + 100);
            }),
            "nef");
  EXPECT_EQ(laid([](TiffWriter& t) { t.Ifd(16, {{0x010F, 2, 4, 'S' | 'O' << 8 | 'N' << 16}}, 0); }), "tif");
}

TEST(MeasureTiff, HostileChainsAndCountsAreBounded) {
  TiffWriter t;
  t.Header(8);
  // The IFD names itself as the next one and as its own sub-IFD; a strip
  // said to end past the volume is not taken; a count of four billion
  // strips is read no further than the file goes.
  t.Ifd(8, {{0x014A, 4, 1, 8}, {0x0111, 4, 1, 100}, {0x0117, 4, 1, 0x7FFFFFFF}, {0x0144, 4, 0xFFFFFFFF, 300}}, 8);
  ContentVolume v(volume::kFat32, 512, 64);
  const TiffLength length = MeasureLaid(v, t.b);
  EXPECT_EQ(length.size, 8u + 2 + 12 * 4 + 4);

  // An IFD with more entries than any writer makes is not read.
  TiffWriter huge;
  huge.Header(8);
  huge.U16(8, 60'000);
  ContentVolume w(volume::kFat32, 512, 64);
  EXPECT_EQ(MeasureLaid(w, huge.b).size, 0u);
}

// --- PNG ----------------------------------------------------------------

TEST(MeasurePng, WalksTheChunksToIendCheckingEachCrc) {
  auto png = [](bool goodData) {
    Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Append(b, PngChunk("IHDR", Bytes(13, 1)));
    Append(b, PngChunk("IDAT", Bytes(3000, 7), goodData));
    Append(b, PngChunk("IEND", {}));
    return b;
  };
  ContentVolume v(volume::kFat32, 512, 64);
  Bytes good = png(true);
  Append(good, Bytes(600, 0x49));  // whatever follows
  v.Put(2, good);
  v.Attach();
  auto first = v.Cluster(2);
  LostFile a(v.state, 2, first);
  Measured m = MeasurePng(a);
  EXPECT_EQ(m.size, png(true).size());
  EXPECT_EQ(m.check, ContentCheck::Verified());

  v.Put(2, png(false));
  v.Attach();
  first = v.Cluster(2);
  LostFile b(v.state, 2, first);
  m = MeasurePng(b);
  EXPECT_EQ(m.size, png(false).size());
  EXPECT_EQ(m.check, ContentCheck::DamagedFrom(8 + 25));  // the IDAT chunk

  // A chunk length past the volume ends the walk there, damaged.
  Bytes cut = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Append(cut, PngChunk("IHDR", Bytes(13, 1)));
  Append(cut, {0x7F, 0xFF, 0xFF, 0xF0, 'I', 'D', 'A', 'T'});
  ContentVolume w(volume::kFat32, 512, 64);
  w.Put(2, cut);
  w.Attach();
  first = w.Cluster(2);
  LostFile c(w.state, 2, first);
  m = MeasurePng(c);
  EXPECT_EQ(m.size, 33u);
  EXPECT_EQ(m.check, ContentCheck::DamagedFrom(33));
}

}  // namespace
}  // namespace vellum::content
