// Ogg: a chain of pages, each "OggS", a 27-byte header, a segment table and
// the segments it sizes, each with a CRC-32 of its own (the Ogg polynomial
// 04C11DB7, not reflected, unlike zlib's). The file ends with the page that
// closes the last of its logical streams.
#include <array>
#include <string_view>

#include "content/file_stream.h"
#include "content/format_measures.h"

namespace vellum::content {

namespace {

constexpr size_t kPageHeaderBytes = 27;
constexpr uint8_t kContinued = 0x01, kBeginsStream = 0x02, kEndsStream = 0x04;
constexpr uint64_t kMaxPages = 50'000'000;
// Logical streams of one file followed at a time (audio, video, subtitles...).
constexpr size_t kMaxStreams = 16;

constexpr std::array<uint32_t, 256> MakeOggCrcTable() {
  std::array<uint32_t, 256> t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n << 24;
    for (int i = 0; i < 8; ++i) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
    t[n] = c;
  }
  return t;
}
constexpr std::array<uint32_t, 256> kOggCrc = MakeOggCrcTable();

uint32_t OggCrc(uint32_t crc, ByteView b) {
  for (uint8_t v : b) crc = (crc << 8) ^ kOggCrc[((crc >> 24) ^ v) & 0xFF];
  return crc;
}

struct PageHeader {
  uint8_t flags = 0;
  uint32_t serial = 0;
  uint32_t crc = 0;
  size_t headerBytes = 0;  // the 27 bytes and the segment table
  uint64_t pageBytes = 0;
};

// h holds at least the 27 fixed bytes; `table` the segment table after them.
bool ReadPageHeader(ByteView h, PageHeader& out) {
  if (!BytesEqual(h, 0, "OggS") || h.size() < kPageHeaderBytes || h[4] != 0 || (h[5] & 0xF8) != 0) return false;
  out.flags = h[5];
  out.serial = Le32(h, 14);
  out.crc = Le32(h, 22);
  out.headerBytes = kPageHeaderBytes + h[26];
  if (h.size() < out.headerBytes) return false;
  out.pageBytes = out.headerBytes;
  for (size_t i = kPageHeaderBytes; i < out.headerBytes; ++i) out.pageBytes += h[i];
  return true;
}

// The page's CRC over its bytes with the CRC field read as zeros; `page` is whole.
uint32_t PageCrc(ByteView page) {
  const uint8_t zeros[4] = {};
  uint32_t crc = OggCrc(0, page.first(22));
  crc = OggCrc(crc, ByteView(zeros, 4));
  return OggCrc(crc, page.subspan(26));
}

// The streams begun and not yet ended.
struct OpenStreams {
  std::array<uint32_t, kMaxStreams> serials{};
  size_t count = 0;
  bool Has(uint32_t s) const {
    for (size_t i = 0; i < count; ++i)
      if (serials[i] == s) return true;
    return false;
  }
  bool Open(uint32_t s) {
    if (Has(s) || count == kMaxStreams) return false;
    serials[count++] = s;
    return true;
  }
  void Close(uint32_t s) {
    for (size_t i = 0; i < count; ++i)
      if (serials[i] == s) serials[i] = serials[--count];
  }
};

// Feeds the page at the stream's position through the CRC, its CRC field
// read as zeros; true when it is whole and right.
bool PageCrcHolds(FileStream& stream, const PageHeader& h, bool& whole) {
  uint32_t crc = 0;
  uint64_t at = 0;
  const uint64_t fed = stream.Feed(h.pageBytes, [&](ByteView piece) {
    for (size_t i = 0; i < piece.size(); ++i, ++at) {
      const uint8_t v = (at >= 22 && at < 26) ? 0 : piece[i];
      crc = (crc << 8) ^ kOggCrc[((crc >> 24) ^ v) & 0xFF];
    }
    return piece.size();
  });
  whole = fed == h.pageBytes;
  return whole && crc == h.crc;
}

}  // namespace

bool OggSignature(ByteView first) {
  PageHeader h;
  if (!ReadPageHeader(first, h) || (h.flags & kBeginsStream) == 0 || (h.flags & kContinued) != 0) return false;
  // A first page is short (the codec's identification header): it lies in the first cluster.
  return InBounds(first.size(), 0, h.pageBytes) && PageCrc(first.first(h.pageBytes)) == h.crc;
}

std::string OggExtension(ByteView first) {
  PageHeader h;
  if (!ReadPageHeader(first, h)) return "ogg";
  const uint64_t packet = h.headerBytes;
  if (BytesEqual(first, packet, "OpusHead")) return "opus";
  if (BytesEqual(first, packet, "\x7F" "FLAC")) return "oga";
  return "ogg";
}

Measured MeasureOgg(volume::ScanState& state, uint64_t cluster, ByteView data) {
  if (!OggSignature(data)) return {};
  FileStream stream(state, cluster, data);
  OpenStreams open;
  ContentCheck check = ContentCheck::Verified();
  uint64_t pos = 0;
  for (uint64_t pages = 0; pages < kMaxPages; ++pages) {
    PageHeader h;
    const ByteView fixed = stream.At(pos, kPageHeaderBytes);
    if (!ReadPageHeader(stream.At(pos, kPageHeaderBytes + Le8(fixed, 26)), h)) break;
    const bool begins = (h.flags & kBeginsStream) != 0;
    // A page of a stream this file did not begin is another file's.
    if (begins ? !open.Open(h.serial) : !open.Has(h.serial)) break;
    bool whole = false;
    const bool right = PageCrcHolds(stream, h, whole);
    if (!whole) break;
    if (!right && check.verdict == ContentCheck::Verdict::kVerified) check = ContentCheck::DamagedFrom(pos);
    pos += h.pageBytes;
    if (h.flags & kEndsStream) open.Close(h.serial);
    if (open.count == 0) return {pos, check};
  }
  // The walk stopped before every stream was closed: cut or overwritten here.
  if (check.verdict == ContentCheck::Verdict::kVerified) check = ContentCheck::DamagedFrom(pos);
  return {pos, check};
}

}  // namespace vellum::content
