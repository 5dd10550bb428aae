// RAR archives, both generations, walked block by block to the end-of-archive
// block. RAR 4 blocks have a 7-byte header (CRC, type, flags, size) with an
// added data size when flagged; RAR 5 blocks a CRC-32 and variable-length
// integers for the header's size, type, flags and data size. Every block
// header's CRC is checked; the packed data are not unpacked.
#include <zlib.h>

#include "content/file_stream.h"
#include "content/format_measures.h"

namespace vellum::content {

namespace {

constexpr size_t kRar4MarkerBytes = 7, kRar5MarkerBytes = 8;
constexpr uint64_t kMaxBlocks = 1'000'000;
constexpr uint8_t kRar4End = 0x7B, kRar4File = 0x74, kRar4Marker = 0x72;
constexpr uint64_t kRar5End = 5;
constexpr uint64_t kRar5MaxHeader = 2u << 20;  // the format's own limit

bool IsRar4(ByteView b) { return BytesEqual(b, 0, std::string_view("Rar!\x1A\x07\x00", 7)); }
bool IsRar5(ByteView b) { return BytesEqual(b, 0, std::string_view("Rar!\x1A\x07\x01\x00", 8)); }

uint32_t Crc32Of(FileStream& stream, uint64_t length, bool& whole) {
  uLong crc = 0;
  const uint64_t fed = stream.Feed(length, [&](ByteView piece) {
    crc = ::crc32(crc, piece.data(), static_cast<uInt>(piece.size()));
    return piece.size();
  });
  whole = fed == length;
  return static_cast<uint32_t>(crc);
}

// Where the walk ended and what it found: the end block's end, or the block it could not read.
Measured Ended(uint64_t end, bool reachedEnd, bool crcRight, uint64_t firstWrong) {
  if (!reachedEnd) return {end, ContentCheck::DamagedFrom(end)};
  return {end, crcRight ? ContentCheck{} : ContentCheck::DamagedFrom(firstWrong)};
}

// `limit`: the volume's data bytes; a block that would end past them is not whole.
Measured WalkRar4(FileStream& stream, uint64_t limit) {
  uint64_t pos = kRar4MarkerBytes, firstWrong = 0;
  bool crcRight = true;
  for (uint64_t i = 0; i < kMaxBlocks; ++i) {
    const ByteView h = stream.At(pos, 7);
    const uint8_t type = Le8(h, 2);
    // Read now: the views the fetches below return may reuse the bytes behind h.
    const uint16_t storedCrc = Le16(h, 0), flags = Le16(h, 3), headSize = Le16(h, 5);
    if (h.size() < 7 || headSize < 7 || type < kRar4Marker || type > kRar4End) break;
    const ByteView added = stream.At(pos, 11);
    uint64_t length = headSize;
    if (flags & 0x8000) length += Le32(added, 7);  // the added (packed) data
    if (type == kRar4File && (flags & 0x0100)) {   // 64-bit sizes: the high half of the packed size
      const ByteView large = stream.At(pos, 36);
      length += uint64_t{Le32(large, 32)} << 32;
    }
    // The header's CRC: the low half of a CRC-32 of its bytes after the CRC field.
    bool whole = false;
    stream.At(pos + 2, 1);
    const uint32_t crc = Crc32Of(stream, headSize - 2, whole);
    if (!whole) break;
    if ((crc & 0xFFFF) != storedCrc && crcRight) crcRight = false, firstWrong = pos;
    if (length > limit - pos) break;
    pos += length;
    if (type == kRar4End) return Ended(pos, true, crcRight, firstWrong);
  }
  return Ended(pos, false, crcRight, firstWrong);
}

// A RAR 5 variable-length integer at b[at]: 7 bits a byte, low first; false when cut or over 10 bytes.
bool ReadVint(ByteView b, size_t& at, uint64_t& out) {
  out = 0;
  for (unsigned shift = 0; shift < 70 && at < b.size(); shift += 7) {
    const uint8_t v = b[at++];
    if (shift < 64) out |= uint64_t{v & 0x7Fu} << shift;
    if ((v & 0x80) == 0) return true;
  }
  return false;
}

struct Rar5Block {
  uint64_t type = 0;
  uint64_t headerBytes = 0;  // from the size field to the end of the header
  uint64_t length = 0;       // the whole block with its data
};

bool ReadRar5Block(ByteView h, Rar5Block& out) {
  size_t at = 4;
  uint64_t headSize = 0, flags = 0, extra = 0, dataSize = 0;
  if (!ReadVint(h, at, headSize) || headSize == 0 || headSize > kRar5MaxHeader) return false;
  out.headerBytes = (at - 4) + headSize;
  if (!ReadVint(h, at, out.type) || !ReadVint(h, at, flags)) return false;
  if ((flags & 0x1) && !ReadVint(h, at, extra)) return false;
  if ((flags & 0x2) && !ReadVint(h, at, dataSize)) return false;
  return CheckedAdd(4 + out.headerBytes, dataSize, out.length) && out.type >= 1 && out.type <= kRar5End;
}

Measured WalkRar5(FileStream& stream, uint64_t limit) {
  uint64_t pos = kRar5MarkerBytes, firstWrong = 0;
  bool crcRight = true;
  for (uint64_t i = 0; i < kMaxBlocks; ++i) {
    // The CRC and five integers of at most 10 bytes; fewer at the volume's end.
    ByteView h = stream.At(pos, 54);
    if (h.empty()) h = stream.At(pos, 4);
    Rar5Block block;
    if (!ReadRar5Block(h, block)) break;
    const uint32_t stored = Le32(h, 0);
    bool whole = false;
    stream.At(pos + 4, 1);
    const uint32_t crc = Crc32Of(stream, block.headerBytes, whole);
    if (!whole) break;
    if (crc != stored && crcRight) crcRight = false, firstWrong = pos;
    if (block.length > limit - pos) break;
    pos += block.length;
    if (block.type == kRar5End) return Ended(pos, true, crcRight, firstWrong);
  }
  return Ended(pos, false, crcRight, firstWrong);
}

}  // namespace

bool RarSignature(ByteView first) { return IsRar4(first) || IsRar5(first); }

Measured MeasureRar(volume::ScanState& state, uint64_t cluster, ByteView data) {
  if (!RarSignature(data)) return {};
  FileStream stream(state, cluster, data);
  const uint64_t limit = state.dataAreaBytes;
  Measured m = IsRar4(data) ? WalkRar4(stream, limit) : WalkRar5(stream, limit);
  // A walk that read no block past the marker found no archive to list.
  if (m.size <= (IsRar4(data) ? kRar4MarkerBytes : kRar5MarkerBytes) || m.size > state.dataAreaBytes) return {};
  if (stream.Cancelled()) m.check = {};
  return m;
}

}  // namespace vellum::content
