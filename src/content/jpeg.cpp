#include "content/jpeg.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vellum::content {

namespace {

constexpr uint8_t kSos = 0xDA, kEoi = 0xD9, kSoi = 0xD8, kApp2 = 0xE2, kTem = 0x01;
// Far more segments than any encoder writes (a progressive file has a few
// dozen); each is at least four bytes, so the length limit binds first on
// any real file.
constexpr uint64_t kMaxSegments = 1'000'000;
// A multi-picture index names a few images (a preview, a depth map...).
constexpr uint32_t kMaxMpImages = 64;

bool IsRestart(uint8_t m) { return m >= 0xD0 && m <= 0xD7; }

// The offset of the marker that ends the entropy-coded data starting at
// `from`: an FF followed by neither 00 (a stuffed FF) nor a restart marker,
// fill bytes FF skipped. False when the clusters run out first, with `pos`
// where they did.
bool EndOfEntropyData(LostFile& file, uint64_t& pos) {
  for (;;) {
    uint64_t start = 0;
    const ByteView cluster = file.ClusterHolding(pos, start);
    if (cluster.empty()) return false;
    const uint8_t* base = cluster.data();
    const size_t within = static_cast<size_t>(pos - start);
    const void* hit = std::memchr(base + within, 0xFF, cluster.size() - within);
    if (hit == nullptr) {
      pos = start + cluster.size();
      continue;
    }
    pos = start + static_cast<size_t>(static_cast<const uint8_t*>(hit) - base);
    uint8_t next = 0;
    if (!file.Byte(pos + 1, next)) return false;
    if (next == 0x00 || IsRestart(next)) pos += 2;
    else if (next == 0xFF) pos += 1;
    else return true;
  }
}

// The furthest end of the images a multi-picture index names (its APP2
// segment's body from the "MPF\0" tag on, read whole: a segment is at most
// 64 KiB), as file offsets; the offsets there count from the index's own
// TIFF header. Images whose first bytes are not FF D8 are not counted.
uint64_t MultiPictureEnd(LostFile& file, uint64_t tiffStart, ByteView tiff) {
  FieldReader r(tiff);
  const bool big = r.U8(0) == 'M';
  auto u16 = [&](uint64_t at) { const uint16_t v = r.U16(at); return big ? uint16_t(v >> 8 | v << 8) : v; };
  auto u32 = [&](uint64_t at) { const uint32_t v = r.U32(at); return big ? __builtin_bswap32(v) : v; };
  const uint32_t ifd = u32(4);
  const uint16_t entries = u16(ifd);
  uint64_t end = 0;
  for (uint32_t i = 0; i < entries && r.Ok(); ++i) {
    const uint64_t entry = uint64_t{ifd} + 2 + 12 * i;
    if (u16(entry) != 0xB002) continue;  // the MP entries
    const uint32_t bytes = u32(entry + 4), at = u32(entry + 8);
    for (uint32_t k = 0; k < std::min(bytes / 16, kMaxMpImages) && r.Ok(); ++k) {
      const uint32_t size = u32(uint64_t{at} + 16 * k + 4), offset = u32(uint64_t{at} + 16 * k + 8);
      uint8_t soi[2] = {};
      if (offset == 0 || !r.Ok() || !file.Read(tiffStart + offset, soi) || soi[0] != 0xFF || soi[1] != kSoi) continue;
      end = std::max(end, tiffStart + offset + size);
    }
  }
  return end;
}

// The multi-picture end an APP2 segment of `length` bytes at `pos` gives, 0
// when it is another kind of APP2 segment.
uint64_t MultiPictureSegment(LostFile& file, uint64_t pos, uint16_t length) {
  if (length < 16) return 0;
  std::vector<uint8_t> body(length - 2);
  if (!file.Read(pos + 4, body) || std::memcmp(body.data(), "MPF\0", 4) != 0) return 0;
  return MultiPictureEnd(file, pos + 8, ByteView(body).subspan(4));
}

JpegLength WalkJpeg(LostFile& file) {
  uint64_t pos = 2;
  uint64_t mpfEnd = 0;
  for (uint64_t segment = 0; segment < kMaxSegments; ++segment) {
    uint8_t ff = 0, marker = 0;
    if (!file.Byte(pos, ff) || ff != 0xFF || !file.Byte(pos + 1, marker)) return {pos, false};
    if (marker == 0xFF) {  // a fill byte before a marker
      ++pos;
      continue;
    }
    if (marker == kEoi) {
      const uint64_t end = pos + 2;
      return {mpfEnd > end && mpfEnd <= file.Limit() ? mpfEnd : end, true};
    }
    // Another image's start, or bytes that stand alone: not this image's.
    if (marker == kSoi || marker == 0x00 || IsRestart(marker)) return {pos, false};
    if (marker == kTem) {
      pos += 2;
      continue;
    }
    uint16_t length = 0;
    if (!file.U16(pos + 2, true, length) || length < 2) return {pos, false};
    if (marker == kApp2 && mpfEnd == 0) mpfEnd = MultiPictureSegment(file, pos, length);
    const uint64_t end = pos + 2 + length;
    if (marker != kSos) {
      pos = end;
      continue;
    }
    pos = end;
    if (!EndOfEntropyData(file, pos)) return {pos, false};
  }
  return {pos, false};
}

}  // namespace

JpegLength MeasureJpeg(LostFile& file) {
  JpegLength length = WalkJpeg(file);
  length.size = std::min(length.size, file.Limit());
  return length;
}

}  // namespace vellum::content
