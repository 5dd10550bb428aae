// MP3: an optional ID3v2 tag whose size is in its header, then MPEG audio
// Layer III frames, each as long as its header's bit rate, sample rate and
// padding make it, then an optional 128-byte ID3v1 tag.
#include "content/file_stream.h"
#include "content/format_measures.h"

namespace vellum::content {

namespace {

constexpr size_t kId3HeaderBytes = 10;
constexpr uint64_t kId3v1Bytes = 128;
// A file that begins on a bare frame is taken for MP3 only when its first
// frame carries an encoder's information tag and this many consecutive
// frames follow: inside an MP3 file, one cluster in a few hundred begins on
// a frame header, and the frame sync alone is too common in other data.
constexpr uint64_t kFewestBareFrames = 4;
constexpr uint64_t kFewestTaggedFrames = 2;
// The bytes of a frame's start that hold an encoder's tag wherever it stands.
constexpr size_t kInfoTagSpan = 40;

struct Frame {
  uint8_t version = 0;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
  uint32_t sampleRate = 0;
  uint32_t length = 0;
};

// Kilobits per second by bit-rate index, Layer III; MPEG-1 and MPEG-2/2.5.
constexpr uint16_t kBitRates[2][16] = {
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};
constexpr uint32_t kSampleRates[3] = {44'100, 48'000, 32'000};

// A Layer III frame header at h (4 bytes); false for any reserved or free-format field.
bool ReadFrame(ByteView h, Frame& out) {
  if (h.size() < 4 || h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
  const uint8_t version = (h[1] >> 3) & 3;
  const uint8_t layer = (h[1] >> 1) & 3;
  const uint8_t rateIndex = h[2] >> 4;
  const uint8_t sampleIndex = (h[2] >> 2) & 3;
  if (version == 1 || layer != 1 || sampleIndex == 3) return false;
  const uint32_t kbps = kBitRates[version == 3 ? 0 : 1][rateIndex];
  if (kbps == 0) return false;
  // MPEG-2 halves the sample rate, MPEG-2.5 quarters it.
  const uint32_t sampleRate = kSampleRates[sampleIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
  const uint32_t perFrame = version == 3 ? 144 : 72;  // bytes per (bit rate / sample rate)
  out = {version, sampleRate, perFrame * kbps * 1000 / sampleRate + ((h[2] >> 1) & 1)};
  return true;
}

// The bytes of an ID3v2 tag at the start (0 when there is none): its header,
// its syncsafe size and the footer it announces.
uint64_t Id3v2Bytes(ByteView b) {
  if (!BytesEqual(b, 0, "ID3") || b.size() < kId3HeaderBytes || b[3] == 0xFF || b[4] == 0xFF) return 0;
  uint64_t size = 0;
  for (size_t i = 6; i < 10; ++i) {
    if (b[i] & 0x80) return 0;
    size = (size << 7) | b[i];
  }
  return kId3HeaderBytes + size + ((b[5] & 0x10) ? kId3HeaderBytes : 0);
}

// The "Xing" or "Info" tag (after the side information, whose length the
// version and the channel mode give) or the "VBRI" tag (at 36) that
// encoders write in a file's first frame.
bool HasInfoTag(ByteView b, const Frame& f) {
  const bool mono = (Le8(b, 3) >> 6) == 3;
  const size_t sideInfo = f.version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  return BytesEqual(b, 4 + sideInfo, "Xing") || BytesEqual(b, 4 + sideInfo, "Info") || BytesEqual(b, 36, "VBRI");
}

// The frames from `pos` on, each of the first frame's version and sample
// rate (a change means another file's data), none but the first with an
// encoder's tag (that is the first frame of the next file written by the
// same encoder); returns the end of the last.
uint64_t WalkFrames(FileStream& stream, uint64_t pos, uint64_t& frames) {
  Frame first;
  frames = 0;
  for (Frame f; ReadFrame(stream.At(pos, 4), f); ++frames) {
    if (frames == 0) first = f;
    if (f.version != first.version || f.sampleRate != first.sampleRate) break;
    if (frames > 0) {
      const ByteView head = stream.At(pos, kInfoTagSpan);
      if (!head.empty() && HasInfoTag(head, f)) break;
    }
    // The frame counts when its last byte is there.
    if (stream.At(pos + f.length - 1, 1).empty()) break;
    pos += f.length;
  }
  return pos;
}

}  // namespace

bool Mp3Signature(ByteView first) {
  if (Id3v2Bytes(first) != 0) return true;
  Frame f;
  if (!ReadFrame(first, f) || !HasInfoTag(first, f)) return false;
  Frame next;
  return !InBounds(first.size(), f.length, 4) || ReadFrame(first.subspan(f.length), next);
}

Measured MeasureMp3(volume::ScanState& state, uint64_t cluster, ByteView data) {
  if (!Mp3Signature(data)) return {};
  const uint64_t tag = Id3v2Bytes(data);
  FileStream stream(state, cluster, data);
  uint64_t frames = 0;
  uint64_t end = WalkFrames(stream, tag, frames);
  if (frames < (tag != 0 ? kFewestTaggedFrames : kFewestBareFrames)) return {};
  const ByteView trailer = stream.At(end, 3);
  if (BytesEqual(trailer, 0, "TAG") && !stream.At(end + kId3v1Bytes - 1, 1).empty()) end += kId3v1Bytes;
  return {end, {}};
}

}  // namespace vellum::content
