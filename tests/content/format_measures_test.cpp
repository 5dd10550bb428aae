// The formats walked by their own structure, on crafted files: the length
// each walk finds, what its checks say, and hostile fields (sizes past the
// volume's end, zero sizes, loops, absurd counts) that must end the walk.
#include "content/format_measures.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <string>

#include "content/analyse_cluster.h"
#include "content_volume.h"
#include "support/cancelling_progress.h"

namespace vellum::content {
namespace {

using testing::ContentVolume;
using Bytes = std::vector<uint8_t>;
using Verdict = ContentCheck::Verdict;
using Measure = Measured (*)(volume::ScanState&, uint64_t, ByteView);

void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }
void Append(Bytes& to, std::string_view text) { to.insert(to.end(), text.begin(), text.end()); }
void PutBe(Bytes& b, size_t at, uint64_t v, int width) {
  for (int i = width - 1; i >= 0; --i, v >>= 8) b[at + i] = static_cast<uint8_t>(v);
}
Bytes Filler(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 5));
  return b;
}

// A volume holding `file` from cluster 2 (FAT32) on, then free clusters of zeros.
struct OnVolume {
  explicit OnVolume(const Bytes& file, uint32_t clusterBytes = 512, uint64_t spare = 8)
      : v(volume::kFat32, clusterBytes, file.size() / clusterBytes + spare) {
    v.Put(2, file);
    v.Attach();
  }
  Measured Run(Measured (*measure)(volume::ScanState&, uint64_t, ByteView)) {
    return measure(v.state, 2, v.Cluster(2));
  }
  ContentVolume v;
};

// --- transport streams ------------------------------------------------------

Bytes Packets(size_t count, size_t timecode) {
  Bytes b;
  for (size_t i = 0; i < count; ++i) {
    Bytes p = Filler(timecode + 188, static_cast<uint8_t>(i));
    p[timecode] = 0x47;
    // No transport error; the first packet starts the program association
    // table (PID 0), the others carry PID 0x100.
    p[timecode + 1] = i == 0 ? 0x40 : 0x01;
    p[timecode + 2] = 0x00;
    p[timecode + 3] = static_cast<uint8_t>(0x10 | (i & 0x0F));  // payload only, continuity counter
    Append(b, p);
  }
  return b;
}

TEST(MeasureTransportStream, CountsWholePacketsOfEitherSize) {
  for (size_t timecode : {0u, 4u}) {
    OnVolume on(Packets(40, timecode));
    const Measured m = on.Run(MeasureTransportStream);
    EXPECT_EQ(m.size, 40 * (188 + timecode)) << timecode;
    EXPECT_EQ(m.check.verdict, Verdict::kNotChecked);
  }
  // A packet cut by the volume's end does not count.
  ContentVolume v(volume::kFat32, 512, 10);
  const Bytes packets = Packets(28, 0);  // 5,264 bytes, on a volume of 5,120
  v.Put(2, ByteView(packets).first(5'120));
  v.Attach();
  EXPECT_EQ(MeasureTransportStream(v.state, 2, v.Cluster(2)).size, 27u * 188);
}

// Two streams one after the other on the card: the second's tables count
// from 0 again, so the first ends where the second begins, also when the
// first table of the second happens to carry the counter expected next.
Bytes TwoStreams(int tablesInFirst) {
  Bytes two;
  for (int file = 0; file < 2; ++file) {
    Bytes one = Packets(40, 4);
    one[192 + 4 + 1] = 0x40;  // packet 1: the second table (PID 0x11), counter 0
    one[192 + 4 + 2] = 0x11;
    one[192 + 4 + 3] = 0x10;
    for (int i = 1; file == 0 && i < tablesInFirst; ++i) {  // packet 0's table repeated, its counter going on
      const size_t at = static_cast<size_t>(i) * 2 * 192 + 4;
      one[at + 1] = 0x40;
      one[at + 2] = 0x00;
      one[at + 3] = static_cast<uint8_t>(0x10 | (i & 0x0F));
    }
    Append(two, one);
  }
  return two;
}

TEST(MeasureTransportStream, EndsWhereTheNextStreamsTablesBegin) {
  EXPECT_EQ(OnVolume(TwoStreams(4)).Run(MeasureTransportStream).size, 40u * 192);
  // Sixteen tables: the first stream's last counter is 15, and the second's 0 follows it.
  EXPECT_EQ(OnVolume(TwoStreams(16)).Run(MeasureTransportStream).size, 40u * 192);
}

TEST(MeasureTransportStream, WantsSyncBytesThroughTheFirstClusterAndFourPackets) {
  Bytes text(2'048, 'G');  // text full of G: the sync byte everywhere, but not the header bits
  EXPECT_EQ(TransportPacketBytes(text), 0u);
  Bytes broken = Packets(10, 0);
  broken[2 * 188] = 0x00;  // the third packet's sync byte
  EXPECT_EQ(TransportPacketBytes(ByteView(broken).first(512)), 0u);
  OnVolume three(Packets(3, 0));
  EXPECT_EQ(three.Run(MeasureTransportStream).size, 0u);
  Bytes errored = Packets(10, 0);
  errored[188 + 1] |= 0x80;  // transport error indicator
  EXPECT_EQ(TransportPacketBytes(errored), 0u);
  // A cluster inside a stream that begins on a packet of video, or on a
  // repetition of the table (its continuity counter past 0), is not a file's start.
  Bytes inside = Packets(10, 4);
  inside[4 + 1] = 0x01;
  EXPECT_EQ(TransportPacketBytes(inside), 0u);
  Bytes repeated = Packets(10, 4);
  repeated[4 + 3] = 0x13;
  EXPECT_EQ(TransportPacketBytes(repeated), 0u);
}

// --- MP3 --------------------------------------------------------------------

// An MPEG-1 Layer III frame: 128 kbit/s at 44.1 kHz, 417 bytes (418 padded).
Bytes Mp3Frame(bool padded, uint8_t rateBits = 0x0) {
  Bytes f = Filler(padded ? 418 : 417, 3);
  f[0] = 0xFF;
  f[1] = 0xFB;
  f[2] = static_cast<uint8_t>(0x90 | (rateBits << 2) | (padded ? 2 : 0));
  f[3] = 0x64;
  return f;
}

Bytes Id3(uint32_t size) {
  Bytes h = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0};
  for (int i = 9; i >= 6; --i, size >>= 7) h[i] = size & 0x7F;
  return h;
}

TEST(MeasureMp3, TagFramesAndTrailer) {
  Bytes file = Id3(300);
  Append(file, Filler(300, 9));
  for (int i = 0; i < 6; ++i) Append(file, Mp3Frame(i % 2 == 1));
  Append(file, "TAG");
  file.insert(file.end(), 125, ' ');
  OnVolume on(file);
  EXPECT_EQ(on.Run(MeasureMp3).size, file.size());
}

// A first frame with the "Info" tag encoders write (joint stereo MPEG-1: after 32 bytes of side information).
Bytes InfoFrame() {
  Bytes f = Mp3Frame(false);
  std::copy_n("Info", 4, f.begin() + 36);
  return f;
}

TEST(MeasureMp3, BareFramesNeedAnInfoTagFourFramesAndOneSampleRate) {
  Bytes four = InfoFrame();
  for (int i = 0; i < 3; ++i) Append(four, Mp3Frame(false));
  EXPECT_EQ(OnVolume(four).Run(MeasureMp3).size, 4u * 417);
  Bytes three = InfoFrame();
  for (int i = 0; i < 2; ++i) Append(three, Mp3Frame(false));
  EXPECT_EQ(OnVolume(three).Run(MeasureMp3).size, 0u);
  // Frames without the tag: a cluster in the middle of an MP3 file.
  Bytes untagged;
  for (int i = 0; i < 6; ++i) Append(untagged, Mp3Frame(false));
  EXPECT_FALSE(Mp3Signature(untagged));
  // Another sample rate (48 kHz) is another file's frame: the walk ends before it.
  Bytes mixed = four;
  Append(mixed, Mp3Frame(false, 1));
  EXPECT_EQ(OnVolume(mixed).Run(MeasureMp3).size, 4u * 417);
  // Reserved fields: layer 00, sample-rate index 3, bit-rate index 15.
  for (auto [at, value] : {std::pair{1, 0xF9}, std::pair{2, 0x9C}, std::pair{2, 0xF0}}) {
    Bytes bad = four;
    bad[at] = static_cast<uint8_t>(value);
    EXPECT_FALSE(Mp3Signature(bad)) << at << " " << value;
  }
}

TEST(MeasureMp3, ATagSizePastTheVolumeOrWithoutFramesListsNothing) {
  Bytes huge = Id3(0x0FFFFFFF);  // 256 MiB, far past the volume
  Append(huge, Mp3Frame(false));
  EXPECT_EQ(OnVolume(huge).Run(MeasureMp3).size, 0u);
  Bytes bad = Id3(20);
  bad[7] = 0x80;  // not syncsafe
  EXPECT_FALSE(Mp3Signature(bad));
  Bytes tagOnly = Id3(100);
  Append(tagOnly, Filler(100, 1));
  EXPECT_EQ(OnVolume(tagOnly).Run(MeasureMp3).size, 0u);
}

// --- FLAC -------------------------------------------------------------------

uint8_t Crc8(const Bytes& b) {
  uint8_t crc = 0;
  for (uint8_t v : b) {
    crc ^= v;
    for (int i = 0; i < 8; ++i) crc = static_cast<uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
  }
  return crc;
}
uint16_t Crc16(const Bytes& b) {
  uint16_t crc = 0;
  for (uint8_t v : b) {
    crc ^= static_cast<uint16_t>(v << 8);
    for (int i = 0; i < 8; ++i) crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x8005 : crc << 1);
  }
  return crc;
}

// A frame of 4,096 samples (block-size code 12) numbered n, with a payload and its CRCs.
Bytes FlacFrame(uint8_t n, size_t payload) {
  Bytes f = {0xFF, 0xF8, 0xC9, 0x18, n};  // 44.1 kHz, stereo, 16 bits
  f.push_back(Crc8(f));
  Append(f, Filler(payload, n));
  const uint16_t crc = Crc16(f);
  f.push_back(static_cast<uint8_t>(crc >> 8));
  f.push_back(static_cast<uint8_t>(crc));
  return f;
}

Bytes FlacStart(uint64_t totalSamples, uint32_t minFrame, uint32_t maxFrame, bool lastBlock = false) {
  Bytes b = {'f', 'L', 'a', 'C', static_cast<uint8_t>(lastBlock ? 0x80 : 0x00), 0, 0, 34};
  Bytes info(34, 0);
  PutBe(info, 0, 4096, 2);
  PutBe(info, 2, 4096, 2);
  PutBe(info, 4, minFrame, 3);
  PutBe(info, 7, maxFrame, 3);
  PutBe(info, 10, (uint64_t{44'100} << 44) | (uint64_t{1} << 41) | (uint64_t{15} << 36) | totalSamples, 8);
  Append(b, info);
  if (!lastBlock) {  // a padding block, the last
    Append(b, Bytes{0x81, 0, 0, 50});
    b.insert(b.end(), 50, 0);
  }
  return b;
}

TEST(MeasureFlac, FramesProvedByTheirCrcsToTheLastSample) {
  Bytes file = FlacStart(3 * 4096, 500, 2'000);
  const size_t audio = file.size();
  for (uint8_t n = 0; n < 3; ++n) Append(file, FlacFrame(n, 900 + n * 100));
  OnVolume on(file);
  const Measured m = on.Run(MeasureFlac);
  EXPECT_EQ(m.size, file.size());
  EXPECT_EQ(m.check.verdict, Verdict::kVerified);

  // A byte changed in the second frame: its CRC never comes out right.
  Bytes damaged = file;
  const size_t second = audio + FlacFrame(0, 900).size();
  damaged[second + 100] ^= 0x40;
  const Measured d = OnVolume(damaged).Run(MeasureFlac);
  EXPECT_EQ(d.check, ContentCheck::DamagedFrom(second));
  EXPECT_EQ(d.size, second);

  // Cut after the second frame: the third, expected, is missing.
  Bytes cut(file.begin(), file.begin() + static_cast<ptrdiff_t>(second + FlacFrame(1, 1000).size()));
  const Measured c = OnVolume(cut).Run(MeasureFlac);
  EXPECT_EQ(c.check.verdict, Verdict::kDamaged);
}

TEST(MeasureFlac, WithoutATotalTheLastFrameEndsWhereItsCrcComesRight) {
  Bytes file = FlacStart(0, 0, 0, true);
  for (uint8_t n = 0; n < 2; ++n) Append(file, FlacFrame(n, 700));
  EXPECT_EQ(OnVolume(file).Run(MeasureFlac).size, file.size());
}

TEST(MeasureFlac, HostileMetadataEndsTheWalk) {
  Bytes past = FlacStart(4096, 0, 0);
  PutBe(past, 8 + 34 + 1, 0xFFFFFF, 3);  // the padding block runs past the volume
  EXPECT_EQ(OnVolume(past).Run(MeasureFlac).size, 0u);
  Bytes reserved = FlacStart(4096, 0, 0);
  reserved[8 + 34] = 0xFF;  // block type 127
  EXPECT_EQ(OnVolume(reserved).Run(MeasureFlac).size, 0u);
  // Blocks of length 0 that never set the last flag: bounded, nothing listed.
  Bytes endless = {'f', 'L', 'a', 'C', 0, 0, 0, 34};
  endless.resize(8 + 34, 0);
  for (int i = 0; i < 1'200; ++i) Append(endless, Bytes{0x01, 0, 0, 0});
  EXPECT_EQ(OnVolume(endless).Run(MeasureFlac).size, 0u);
  EXPECT_FALSE(FlacSignature(Bytes{'f', 'L', 'a', 'C', 0, 0, 0, 33}));
}

// --- Ogg --------------------------------------------------------------------

uint32_t OggCrc(const Bytes& b) {
  uint32_t crc = 0;
  for (uint8_t v : b) {
    crc ^= uint32_t{v} << 24;
    for (int i = 0; i < 8; ++i) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

Bytes OggPage(uint8_t flags, uint32_t serial, uint32_t sequence, const Bytes& packet) {
  Bytes p = {'O', 'g', 'g', 'S', 0, flags};
  p.resize(27, 0);
  PutLe32(p, 14, serial);
  PutLe32(p, 18, sequence);
  Bytes table;
  for (size_t left = packet.size();; left -= 255) {
    table.push_back(static_cast<uint8_t>(std::min<size_t>(left, 255)));
    if (left < 255) break;
  }
  p[26] = static_cast<uint8_t>(table.size());
  Append(p, table);
  Append(p, packet);
  PutLe32(p, 22, OggCrc(p));
  return p;
}

Bytes OpusHead() {
  Bytes b;
  Append(b, "OpusHead");
  Append(b, Filler(11, 1));
  return b;
}

TEST(MeasureOgg, PagesToTheEndOfTheStreamEachCrcChecked) {
  Bytes file = OggPage(0x02, 77, 0, OpusHead());
  const size_t second = file.size();
  Append(file, OggPage(0x00, 77, 1, Filler(3'000, 5)));
  Append(file, OggPage(0x04, 77, 2, Filler(700, 6)));
  const size_t end = file.size();
  Append(file, OggPage(0x02, 78, 0, OpusHead()));  // the next file
  OnVolume on(file);
  const Measured m = on.Run(MeasureOgg);
  EXPECT_EQ(m.size, end);
  EXPECT_EQ(m.check.verdict, Verdict::kVerified);
  EXPECT_EQ(OggExtension(file), "opus");

  Bytes damaged = file;
  damaged[second + 1'000] ^= 1;
  const Measured d = OnVolume(damaged).Run(MeasureOgg);
  EXPECT_EQ(d.size, end);
  EXPECT_EQ(d.check, ContentCheck::DamagedFrom(second));

  // The stream's last page overwritten: the walk ends where the pages stop.
  Bytes cut(file.begin(), file.begin() + static_cast<ptrdiff_t>(second));
  Append(cut, OggPage(0x00, 77, 1, Filler(3'000, 5)));
  const size_t cutAt = cut.size();
  Append(cut, Filler(1'000, 2));
  const Measured c = OnVolume(cut).Run(MeasureOgg);
  EXPECT_EQ(c.size, cutAt);
  EXPECT_EQ(c.check, ContentCheck::DamagedFrom(cutAt));
}

TEST(MeasureOgg, AFirstPageMustBeginAStreamWithARightCrc) {
  Bytes page = OggPage(0x02, 1, 0, OpusHead());
  EXPECT_TRUE(OggSignature(page));
  page[30] ^= 1;
  EXPECT_FALSE(OggSignature(page));
  EXPECT_FALSE(OggSignature(OggPage(0x00, 1, 0, OpusHead())));
  Bytes vorbis = {1};
  Append(vorbis, "vorbis");
  EXPECT_EQ(OggExtension(OggPage(0x02, 1, 0, vorbis)), "ogg");
}

// --- 7z ---------------------------------------------------------------------

uint32_t Crc32(const Bytes& b, size_t at = 0, size_t n = SIZE_MAX) {
  n = std::min(n, b.size() - at);
  return static_cast<uint32_t>(::crc32(0, b.data() + at, static_cast<uInt>(n)));
}

Bytes SevenZip(uint64_t packed, const Bytes& nextHeader) {
  Bytes b = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C, 0, 4};
  b.resize(32, 0);
  Append(b, Filler(packed, 4));
  Append(b, nextHeader);
  for (int i = 0; i < 8; ++i) b[12 + i] = static_cast<uint8_t>(packed >> (8 * i));
  b[20] = static_cast<uint8_t>(nextHeader.size());
  b[21] = static_cast<uint8_t>(nextHeader.size() >> 8);
  PutLe32(b, 28, Crc32(nextHeader));
  PutLe32(b, 8, Crc32(b, 12, 20));
  return b;
}

TEST(MeasureSevenZip, StartHeaderGivesTheEndAndTheNextHeaderItsCrc) {
  const Bytes file = SevenZip(5'000, Filler(300, 8));
  const Measured m = OnVolume(file).Run(MeasureSevenZip);
  EXPECT_EQ(m.size, file.size());
  EXPECT_EQ(m.check.verdict, Verdict::kNotChecked);

  Bytes listing = file;
  listing[32 + 5'000 + 10] ^= 1;
  EXPECT_EQ(OnVolume(listing).Run(MeasureSevenZip).check, ContentCheck::DamagedFrom(32 + 5'000));

  Bytes start = file;
  start[12] ^= 1;  // the start header no longer matches its CRC
  EXPECT_FALSE(SevenZipSignature(start));

  // An offset past the volume, with its CRC made right: no row.
  Bytes past = file;
  past[19] = 0x7F;
  PutLe32(past, 8, Crc32(past, 12, 20));
  EXPECT_EQ(OnVolume(past).Run(MeasureSevenZip).size, 0u);
}

// --- RAR --------------------------------------------------------------------

Bytes Rar4Block(uint8_t type, uint16_t flags, Bytes rest, uint32_t added = 0) {
  Bytes h = {0, 0, type, static_cast<uint8_t>(flags), static_cast<uint8_t>(flags >> 8), 0, 0};
  if (flags & 0x8000) {
    h.resize(11);
    PutLe32(h, 7, added);
  }
  Append(h, rest);
  PutLe16(h, 5, static_cast<uint16_t>(h.size()));
  PutLe16(h, 0, static_cast<uint16_t>(Crc32(h, 2)));
  Append(h, Filler(added, 6));
  return h;
}

Bytes Rar4() {
  Bytes b;
  Append(b, std::string_view("Rar!\x1A\x07\x00", 7));
  Append(b, Rar4Block(0x73, 0, Bytes(6, 0)));
  Append(b, Rar4Block(0x74, 0x8000, Filler(21, 1), 4'000));  // a member with 4,000 packed bytes
  Append(b, Rar4Block(0x7B, 0x4000, {}));
  return b;
}

Bytes Vint(uint64_t v) {
  Bytes b;
  do {
    b.push_back(static_cast<uint8_t>((v & 0x7F) | (v > 0x7F ? 0x80 : 0)));
    v >>= 7;
  } while (v != 0);
  return b;
}

// The block's header, then its data unless `headerOnly`.
Bytes Rar5Block(uint64_t type, uint64_t dataSize, bool headerOnly = false) {
  Bytes body = Vint(type);
  Append(body, Vint(dataSize != 0 ? 0x2 : 0));
  if (dataSize != 0) Append(body, Vint(dataSize));
  Append(body, Filler(12, 2));
  Bytes h = Vint(body.size());
  Append(h, body);
  Bytes block(4, 0);
  PutLe32(block, 0, Crc32(h));
  Append(block, h);
  if (!headerOnly) Append(block, Filler(dataSize, 3));
  return block;
}

Bytes Rar5() {
  Bytes b;
  Append(b, std::string_view("Rar!\x1A\x07\x01\x00", 8));
  Append(b, Rar5Block(1, 0));
  Append(b, Rar5Block(2, 3'000));
  Append(b, Rar5Block(5, 0));
  return b;
}

TEST(MeasureRar, BothGenerationsWalkedToTheEndBlock) {
  for (const Bytes& file : {Rar4(), Rar5()}) {
    Bytes padded = file;
    Append(padded, Filler(2'000, 9));  // whatever follows on the card
    const Measured m = OnVolume(padded).Run(MeasureRar);
    EXPECT_EQ(m.size, file.size());
    EXPECT_EQ(m.check.verdict, Verdict::kNotChecked);
  }
}

// A member header of 1,500 bytes (a long name and extra fields) spans three
// 512-byte clusters: its CRC is still compared with its own stored CRC.
TEST(MeasureRar, AHeaderLongerThanTwoClustersIsCheckedWhole) {
  Bytes file;
  Append(file, std::string_view("Rar!\x1A\x07\x00", 7));
  Append(file, Rar4Block(0x73, 0, Bytes(6, 0)));
  Append(file, Rar4Block(0x74, 0x8000, Filler(1'500, 1), 700));
  Append(file, Rar4Block(0x7B, 0x4000, {}));
  const Measured m = OnVolume(file).Run(MeasureRar);
  EXPECT_EQ(m.size, file.size());
  EXPECT_EQ(m.check.verdict, Verdict::kNotChecked);
}

TEST(MeasureRar, AWrongHeaderCrcOrABrokenWalkSaysWhere) {
  Bytes crc = Rar4();
  crc[7 + 13 + 12] ^= 1;  // in the member's header, after the added size
  EXPECT_EQ(OnVolume(crc).Run(MeasureRar).check, ContentCheck::DamagedFrom(7 + 13));

  Bytes shortHead = Rar4();
  PutLe16(shortHead, 7 + 5, 3);  // a header size below 7 would loop
  const Measured s = OnVolume(shortHead).Run(MeasureRar);
  EXPECT_EQ(s.size, 0u);  // nothing past the marker: no archive

  // A member whose packed size runs past the volume: cut there.
  Bytes past = Rar5();
  past.resize(8 + Rar5Block(1, 0).size());
  Append(past, Rar5Block(2, uint64_t{1} << 40, true));
  const Measured p = OnVolume(past).Run(MeasureRar);
  EXPECT_EQ(p.check.verdict, Verdict::kDamaged);
  EXPECT_LE(p.size, p.check.damagedFrom);

  // A header size over the format's 2 MiB.
  Bytes absurd;
  Append(absurd, std::string_view("Rar!\x1A\x07\x01\x00", 8));
  Append(absurd, Bytes{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 0});
  EXPECT_EQ(OnVolume(absurd).Run(MeasureRar).size, 0u);
}

// --- GZIP -------------------------------------------------------------------

Bytes Gzip(const Bytes& data, int level = 9) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&z, data.size()) + 64);
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

Bytes Text(size_t lines) {
  Bytes b;
  for (size_t i = 0; i < lines; ++i) Append(b, "line " + std::to_string(i * 7919 % 100'003) + "\n");
  return b;
}

TEST(MeasureGzip, TheDeflateStreamsEndAndTrailerChecked) {
  const Bytes file = Gzip(Text(20'000));
  Bytes onCard = file;
  Append(onCard, Filler(3'000, 1));
  const Measured m = OnVolume(onCard, 4096).Run(MeasureGzip);
  EXPECT_EQ(m.size, file.size());
  EXPECT_EQ(m.check.verdict, Verdict::kVerified);

  // Two members one after the other are one file.
  Bytes two = file;
  Append(two, Gzip(Text(50)));
  EXPECT_EQ(OnVolume(two).Run(MeasureGzip).size, two.size());

  Bytes wrongCrc = file;
  wrongCrc[file.size() - 6] ^= 1;
  const Measured w = OnVolume(wrongCrc).Run(MeasureGzip);
  EXPECT_EQ(w.size, file.size());
  EXPECT_EQ(w.check, ContentCheck::DamagedFrom(10));
}

TEST(MeasureGzip, DataThatStopBeingDeflateAreDamagedFromThere) {
  Bytes file = Gzip(Text(20'000), 1);
  std::fill(file.begin() + 20'000, file.end(), 0xFF);  // overwritten from byte 20,000
  const Measured m = OnVolume(file).Run(MeasureGzip);
  EXPECT_EQ(m.check.verdict, Verdict::kDamaged);
  EXPECT_GE(m.check.damagedFrom, 19'000u);
  EXPECT_LE(m.check.damagedFrom, 20'100u);

  // The stream runs to the volume's end.
  const Bytes whole = Gzip(Text(20'000));
  ContentVolume v(volume::kFat32, 512, 40);
  v.Put(2, ByteView(whole).first(40 * 512));
  v.Attach();
  EXPECT_EQ(MeasureGzip(v.state, 2, v.Cluster(2)).check.verdict, Verdict::kDamaged);

  // A name that never ends.
  Bytes name = {0x1F, 0x8B, 8, 0x08, 0, 0, 0, 0, 0, 3};
  name.resize(200'000, 'a');
  EXPECT_EQ(OnVolume(name, 4096).Run(MeasureGzip).size, 0u);
  EXPECT_FALSE(GzipSignature(Bytes{0x1F, 0x8B, 8, 0x20, 0, 0, 0, 0, 0, 3}));
}

TEST(MeasureGzip, CancelDropsTheRow) {
  Bytes noise(1'000'000);
  uint32_t x = 12345;
  for (uint8_t& b : noise) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
  const Bytes file = Gzip(noise, 1);  // hardly smaller: two thousand clusters to read
  ContentVolume v(volume::kFat32, 512, file.size() / 512 + 8);
  v.Put(2, file);
  v.Attach();
  testing::CancellingProgress cancel;
  v.state.progress = &cancel;
  AnalyseClusterContents(v.state, 2, v.Cluster(2));
  EXPECT_TRUE(v.rows.rows.empty());
  EXPECT_EQ(v.state.cancelled, 1);
}

// --- SQLite -----------------------------------------------------------------

Bytes SqliteHeader(uint16_t pageField, uint32_t pages, uint32_t counter, uint32_t validFor) {
  Bytes b(512, 0);
  const std::string_view magic("SQLite format 3\0", 16);
  std::copy(magic.begin(), magic.end(), b.begin());
  PutBe(b, 16, pageField, 2);
  b[18] = b[19] = 1;
  b[21] = 64;
  b[22] = b[23] = 32;
  PutBe(b, 24, counter, 4);
  PutBe(b, 28, pages, 4);
  PutBe(b, 92, validFor, 4);
  return b;
}

TEST(MeasureSqlite, PageSizeTimesPagesWhileTheSizeIsValid) {
  ContentVolume v(volume::kFat32, 512, 300);
  const std::pair<Bytes, uint64_t> cases[] = {
      {SqliteHeader(4096, 5, 9, 9), 20'480},
      {SqliteHeader(1, 2, 9, 9), 131'072},                 // 1 stands for 65,536
      {SqliteHeader(4096, 5, 9, 8), 10'485'760},           // stale: the default size
      {SqliteHeader(4096, 0x7FFFFFFF, 9, 9), 10'485'760},  // past the volume
  };
  for (const auto& [header, size] : cases) {
    v.Put(2, header);
    v.Attach();
    EXPECT_EQ(MeasureSqlite(v.state, 2, v.Cluster(2)).size, size);
  }
  EXPECT_FALSE(SqliteSignature(SqliteHeader(1000, 5, 9, 9)));
  Bytes fractions = SqliteHeader(4096, 5, 9, 9);
  fractions[21] = 65;
  EXPECT_FALSE(SqliteSignature(fractions));
}

// --- files made by the real tools ------------------------------------------

TEST(WalkedFormats, RealFilesPassTheirOwnChecksAndADamagedCopySaysWhere) {
  const std::pair<const char*, Measure> checked[] = {
      {"tone.flac", MeasureFlac}, {"tone.ogg", MeasureOgg}, {"tone.opus", MeasureOgg},
      {"numbers.txt.gz", MeasureGzip}};
  for (const auto& [name, measure] : checked) {
    const Bytes file = testing::ReadSample(name);
    const Measured m = OnVolume(file).Run(measure);
    EXPECT_EQ(m.size, file.size()) << name;
    EXPECT_EQ(m.check.verdict, Verdict::kVerified) << name;
  }
  const Bytes archive = testing::ReadSample("archive.7z");
  EXPECT_EQ(OnVolume(archive).Run(MeasureSevenZip).check.verdict, Verdict::kNotChecked);

  // ffmpeg's Ogg pages are at most 4 KiB or so: a byte changed at 3,000 lies
  // in a page that begins at or before it.
  Bytes ogg = testing::ReadSample("tone.ogg");
  ogg[3'000] ^= 0x01;
  const Measured o = OnVolume(ogg).Run(MeasureOgg);
  EXPECT_EQ(o.size, ogg.size());
  ASSERT_EQ(o.check.verdict, Verdict::kDamaged);
  EXPECT_LE(o.check.damagedFrom, 3'000u);
  EXPECT_GT(o.check.damagedFrom + 4'096, 3'000u);

  // The FLAC cut in its middle: damaged from the frame the cut lies in.
  const Bytes flac = testing::ReadSample("tone.flac");
  const Bytes cut(flac.begin(), flac.begin() + 10'000);
  const Measured f = OnVolume(cut).Run(MeasureFlac);
  ASSERT_EQ(f.check.verdict, Verdict::kDamaged);
  EXPECT_LE(f.check.damagedFrom, 10'000u);
  EXPECT_EQ(f.size, f.check.damagedFrom);
}

// --- through the signature tests ---------------------------------------------

TEST(WalkedFormats, ListedUnderTheirExtensionsAndTheNameFilter) {
  const std::pair<Bytes, std::string> cases[] = {
      {Packets(40, 0), "ts"}, {Packets(40, 4), "mts"}, {Rar4(), "rar"}, {Rar5(), "rar"},
      {SevenZip(100, Filler(30, 1)), "7z"}, {Gzip(Text(100)), "gz"},
      {SqliteHeader(512, 1, 1, 1), "sqlite"}};
  for (const auto& [file, ext] : cases) {
    OnVolume on(file);
    AnalyseClusterContents(on.v.state, 2, on.v.Cluster(2));
    ASSERT_EQ(on.v.rows.rows.size(), 1u) << ext;
    EXPECT_EQ(on.v.rows.rows[0].name, "不明2." + ext);
  }
  OnVolume db(SqliteHeader(512, 1, 1, 1));
  db.v.state.options.filter = ".DB";
  AnalyseClusterContents(db.v.state, 2, db.v.Cluster(2));
  ASSERT_EQ(db.v.rows.rows.size(), 1u);
  EXPECT_EQ(db.v.rows.rows[0].name, "不明2.db");
  OnVolume m2ts(Packets(40, 4));
  m2ts.v.state.options.filter = "M2TS";
  AnalyseClusterContents(m2ts.v.state, 2, m2ts.v.Cluster(2));
  ASSERT_EQ(m2ts.v.rows.rows.size(), 1u);
  EXPECT_EQ(m2ts.v.rows.rows[0].name, "不明2.m2ts");
}

}  // namespace
}  // namespace vellum::content
