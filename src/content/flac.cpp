// FLAC: "fLaC", metadata blocks each as long as its header says (the last
// one flagged), then audio frames. A frame has no length field; it ends
// where the next frame's header begins, and each frame's CRC-16 proves the
// boundary. The last frame (STREAMINFO's total samples tell which it is)
// ends at the first byte where its CRC-16 comes out right.
#include <array>

#include "content/file_stream.h"
#include "content/format_measures.h"

namespace vellum::content {

namespace {

constexpr size_t kStreamInfoBytes = 34;
constexpr int kMaxMetadataBlocks = 1'000;
constexpr size_t kMaxFrameHeader = 16;  // sync 2, codes 2, number 7, block size 2, rate 2, CRC-8 1
// How far a frame is searched for its end when STREAMINFO gives no maximum frame size.
constexpr uint64_t kMaxFrameBytes = 16u << 20;

struct StreamInfo {
  uint32_t minFrame = 0;    // 0: not known
  uint32_t maxFrame = 0;    // 0: not known
  uint64_t totalSamples = 0;  // 0: not known
};

uint8_t Crc8(ByteView b) {
  uint8_t crc = 0;
  for (uint8_t v : b) {
    crc ^= v;
    for (int i = 0; i < 8; ++i) crc = static_cast<uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
  }
  return crc;
}

constexpr std::array<uint16_t, 256> MakeCrc16Table() {
  std::array<uint16_t, 256> t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n << 8;
    for (int i = 0; i < 8; ++i) c = (c & 0x8000) ? (c << 1) ^ 0x8005 : c << 1;
    t[n] = static_cast<uint16_t>(c);
  }
  return t;
}
constexpr std::array<uint16_t, 256> kCrc16 = MakeCrc16Table();

uint16_t Crc16Step(uint16_t crc, uint8_t v) {
  return static_cast<uint16_t>((crc << 8) ^ kCrc16[static_cast<uint8_t>((crc >> 8) ^ v)]);
}

// The UTF-8-like coded frame or sample number at h[at]; its length in `bytes`, 0 when malformed.
uint64_t CodedNumber(ByteView h, size_t at, size_t& bytes) {
  bytes = 0;
  const uint8_t lead = Le8(h, at);
  size_t extra = 0;
  while (extra < 7 && (lead & (0x80 >> extra))) ++extra;
  if (extra == 1 || extra == 7) return 0;  // a continuation byte, or 0xFE/0xFF
  const size_t total = extra == 0 ? 1 : extra;
  uint64_t value = extra == 0 ? lead : lead & (0xFF >> (extra + 1));
  for (size_t i = 1; i < total; ++i) {
    const uint8_t v = Le8(h, at + i);
    if ((v & 0xC0) != 0x80) return 0;
    value = (value << 6) | (v & 0x3F);
  }
  bytes = total;
  return value;
}

struct FrameHeader {
  bool variable = false;
  uint64_t number = 0;  // frame number (fixed block size) or first sample (variable)
  uint32_t blockSize = 0;
};

// A frame header at h, whose CRC-8 must be right; h holds kMaxFrameHeader bytes.
bool ReadFrameHeader(ByteView h, FrameHeader& out) {
  if (h.size() < kMaxFrameHeader || h[0] != 0xFF || (h[1] & 0xFE) != 0xF8) return false;
  const uint8_t sizeCode = h[2] >> 4, rateCode = h[2] & 0x0F;
  if (sizeCode == 0 || rateCode == 0x0F || (h[3] >> 4) >= 11 || (h[3] & 0x01) || ((h[3] >> 1) & 7) == 3)
    return false;
  size_t numberBytes = 0;
  out.variable = h[1] & 1;
  out.number = CodedNumber(h, 4, numberBytes);
  if (numberBytes == 0) return false;
  size_t at = 4 + numberBytes;
  if (sizeCode == 1) out.blockSize = 192;
  else if (sizeCode <= 5) out.blockSize = 576u << (sizeCode - 2);
  else if (sizeCode == 6) out.blockSize = Le8(h, at++) + 1u;
  else if (sizeCode == 7) out.blockSize = static_cast<uint32_t>(Be(h, at, 2)) + 1, at += 2;
  else out.blockSize = 256u << (sizeCode - 8);
  if (rateCode == 12) at += 1;
  else if (rateCode == 13 || rateCode == 14) at += 2;
  return Crc8(h.first(at)) == h[at];
}

// The metadata blocks; the offset of the first frame, 0 when they do not hold.
uint64_t WalkMetadata(FileStream& stream, ByteView data, StreamInfo& info) {
  if (!FlacSignature(data)) return 0;
  info.minFrame = static_cast<uint32_t>(Be(data, 8 + 4, 3));
  info.maxFrame = static_cast<uint32_t>(Be(data, 8 + 7, 3));
  info.totalSamples = Be(data, 8 + 13, 5) & 0xF'FFFF'FFFFull;
  uint64_t pos = 4;
  for (int i = 0; i < kMaxMetadataBlocks; ++i) {
    const ByteView h = stream.At(pos, 4);
    if (h.size() < 4 || (h[0] & 0x7F) == 0x7F) return 0;
    pos += 4 + Be(h, 1, 3);
    // The last block must end inside the file's clusters.
    if (h[0] & 0x80) return stream.At(pos - 1, 1).empty() ? 0 : pos;
  }
  return 0;
}

struct FrameWalk {
  FileStream& stream;
  uint64_t shortest;  // no frame is shorter (the CRC-16 and a header of 6 at least)
  uint64_t longest;   // how far a frame's end is searched for
};

// Where the frame that begins at `start` ends: where its CRC-16 comes out
// right and the next frame's header, numbered as `expected`, begins; for the
// `last` frame, at the first byte where the CRC comes out right (a zero CRC
// stays zero over the zeros of free clusters, so the first is the end). A
// frame that no next frame follows, in a stream whose total is not known,
// ends there too. 0 when no end was proved within the longest frame.
uint64_t FrameEnd(FrameWalk& w, uint64_t start, const FrameHeader& expected, bool last, bool totalKnown) {
  uint16_t crc = 0;
  uint64_t firstRight = 0;
  for (uint64_t pos = start; pos - start <= w.longest;) {
    ByteView held = w.stream.At(pos, kMaxFrameHeader);
    const bool tail = held.empty();
    if (tail) held = w.stream.At(pos, 1);  // the file's last bytes, too few for a header after them
    if (held.empty()) break;
    const size_t usable = tail ? held.size() : held.size() - kMaxFrameHeader + 1;
    for (size_t i = 0; i < usable; ++i, ++pos) {
      if (pos - start >= w.shortest && crc == 0) {
        if (last) return pos;
        if (firstRight == 0) firstRight = pos;
        FrameHeader h;
        if (!tail && ReadFrameHeader(held.subspan(i), h) && h.variable == expected.variable &&
            h.number == expected.number)
          return pos;
      }
      crc = Crc16Step(crc, held[i]);
    }
    if (pos - start >= w.shortest && crc == 0 && (last || firstRight == 0)) firstRight = pos;
    if (last && firstRight != 0) return firstRight;
  }
  return totalKnown ? 0 : firstRight;
}

}  // namespace

bool FlacSignature(ByteView first) {
  // The first block must be STREAMINFO, 34 bytes.
  return BytesEqual(first, 0, "fLaC") && (Le8(first, 4) & 0x7F) == 0 && Be(first, 5, 3) == kStreamInfoBytes;
}

Measured MeasureFlac(volume::ScanState& state, uint64_t cluster, ByteView data) {
  FileStream stream(state, cluster, data);
  StreamInfo info;
  uint64_t pos = WalkMetadata(stream, data, info);
  if (pos == 0) return {};
  FrameWalk walk{stream, std::max<uint64_t>(info.minFrame, 8), info.maxFrame != 0 ? info.maxFrame : kMaxFrameBytes};
  uint64_t samples = 0;
  for (FrameHeader h; ReadFrameHeader(stream.At(pos, kMaxFrameHeader), h);) {
    FrameHeader next{h.variable, h.variable ? h.number + h.blockSize : h.number + 1, 0};
    samples += h.blockSize;
    const bool last = info.totalSamples != 0 && samples >= info.totalSamples;
    const uint64_t end = FrameEnd(walk, pos, next, last, info.totalSamples != 0);
    if (end == 0) return {pos, ContentCheck::DamagedFrom(pos)};
    pos = end;
    if (last) return {pos, ContentCheck::Verified()};
  }
  // No frame header where one should be: with the total unknown, the stream ends here.
  if (info.totalSamples == 0) return {pos, {}};
  return {pos, ContentCheck::DamagedFrom(pos)};
}

}  // namespace vellum::content
