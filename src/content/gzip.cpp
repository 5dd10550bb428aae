// GZIP: a member header, a deflate stream whose end only decompressing it
// can find (zlib, raw deflate), and an 8-byte trailer with the CRC-32 and
// the length of what it unpacks to. Members written one after another (as
// `cat a.gz b.gz` makes) make one file.
#include <zlib.h>

#include <array>

#include "content/file_stream.h"
#include "content/format_measures.h"

namespace vellum::content {

namespace {

constexpr size_t kFixedHeaderBytes = 10, kTrailerBytes = 8;
constexpr uint8_t kHeaderCrc = 0x02, kExtra = 0x04, kName = 0x08, kComment = 0x10;
constexpr int kMaxMembers = 1'000;
// A name or comment longer than this is taken for something else than a header.
constexpr uint64_t kMaxTextBytes = 64u << 10;

// Skips a zero-terminated text from the stream's position; false when it does not end in time.
bool SkipText(FileStream& stream) {
  bool ended = false;
  stream.Feed(kMaxTextBytes, [&](ByteView piece) {
    for (size_t i = 0; i < piece.size(); ++i)
      if (piece[i] == 0) {
        ended = true;
        return i + 1;
      }
    return piece.size();
  });
  return ended;
}

// The member header at `pos`; the offset of the deflate data after it, 0 when it does not hold.
uint64_t SkipHeader(FileStream& stream, uint64_t pos) {
  const ByteView h = stream.At(pos, kFixedHeaderBytes);
  if (!GzipSignature(h)) return 0;
  const uint8_t flags = h[3];
  uint64_t at = pos + kFixedHeaderBytes;
  if (flags & kExtra) {
    const ByteView x = stream.At(at, 2);
    if (x.empty()) return 0;
    at += 2 + Le16(x, 0);
  }
  if (stream.At(at, 1).empty()) return 0;
  if ((flags & kName) && !SkipText(stream)) return 0;
  if ((flags & kComment) && !SkipText(stream)) return 0;
  at = stream.Pos();
  if (flags & kHeaderCrc) at += 2;
  return at;
}

// One deflate stream run through zlib from the stream's position.
struct Inflation {
  bool ended = false;     // Z_STREAM_END
  bool failed = false;    // the data are not deflate data from this byte on
  uint64_t used = 0;      // compressed bytes up to the stream's end or the failure
  uint32_t crc = 0;       // of what it unpacked to
  uint64_t unpacked = 0;
};

Inflation Inflate(FileStream& stream) {
  Inflation result;
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
    result.failed = true;
    return result;
  }
  std::array<uint8_t, 64 * 1024> out{};
  uLong crc = ::crc32(0, nullptr, 0);
  result.used = stream.Feed(kMaxStreamedBytes, [&](ByteView piece) {
    z.next_in = const_cast<Bytef*>(piece.data());
    z.avail_in = static_cast<uInt>(piece.size());
    while (z.avail_in > 0 && !result.ended && !result.failed) {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      const uInt before = z.avail_in;
      const int rc = inflate(&z, Z_NO_FLUSH);
      const size_t produced = out.size() - z.avail_out;
      if (rc == Z_BUF_ERROR && produced == 0 && z.avail_in == before) result.failed = true;  // no progress
      crc = ::crc32(crc, out.data(), static_cast<uInt>(produced));
      result.unpacked += produced;
      if (rc == Z_STREAM_END) result.ended = true;
      else if (rc != Z_OK && rc != Z_BUF_ERROR) result.failed = true;
    }
    return piece.size() - z.avail_in;
  });
  result.crc = static_cast<uint32_t>(crc);
  inflateEnd(&z);
  return result;
}

// A member from `pos`: its end, with its check; size 0 when its header does not hold.
Measured MeasureMember(FileStream& stream, uint64_t pos) {
  const uint64_t data = SkipHeader(stream, pos);
  if (data == 0 || stream.At(data, 1).empty()) return {};
  const Inflation in = Inflate(stream);
  const uint64_t trailer = data + in.used;
  if (!in.ended) return {trailer, ContentCheck::DamagedFrom(trailer)};
  const ByteView t = stream.At(trailer, kTrailerBytes);
  if (t.empty()) return {trailer, ContentCheck::DamagedFrom(trailer)};
  const bool right = Le32(t, 0) == in.crc && Le32(t, 4) == static_cast<uint32_t>(in.unpacked);
  // A wrong CRC says the unpacked data are wrong somewhere, not where: from the data's start.
  return {trailer + kTrailerBytes, right ? ContentCheck::Verified() : ContentCheck::DamagedFrom(data)};
}

}  // namespace

bool GzipSignature(ByteView first) {
  return first.size() >= kFixedHeaderBytes && first[0] == 0x1F && first[1] == 0x8B && first[2] == 8 &&
         (first[3] & 0xE0) == 0;
}

Measured MeasureGzip(volume::ScanState& state, uint64_t cluster, ByteView data) {
  if (!GzipSignature(data)) return {};
  FileStream stream(state, cluster, data);
  Measured whole = MeasureMember(stream, 0);
  for (int i = 1; i < kMaxMembers && whole.check.verdict == ContentCheck::Verdict::kVerified; ++i) {
    if (!GzipSignature(stream.At(whole.size, kFixedHeaderBytes))) break;
    const Measured next = MeasureMember(stream, whole.size);
    if (next.size == 0) break;
    whole = next;
  }
  if (stream.Cancelled()) whole.check = {};
  return whole;
}

}  // namespace vellum::content
