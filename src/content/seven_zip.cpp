// 7z: a 32-byte signature header whose start header (CRC-checked) gives the
// offset and size of the next header, which ends the archive; the next
// header carries a CRC of its own, checked when it can be read.
#include <zlib.h>

#include "content/file_stream.h"
#include "content/format_measures.h"

namespace vellum::content {

namespace {

constexpr size_t kSignatureHeaderBytes = 32;
// A next header larger than this is not read for its CRC (an archive's
// listing is kilobytes; a hostile size must not make us read gigabytes).
constexpr uint64_t kMaxCheckedNextHeader = 64u << 20;

uint32_t Crc32(uint32_t crc, ByteView b) {
  return static_cast<uint32_t>(::crc32(crc, b.data(), static_cast<uInt>(b.size())));
}

}  // namespace

bool SevenZipSignature(ByteView first) {
  if (!InBounds(first.size(), 0, kSignatureHeaderBytes)) return false;
  if (!(first[0] == '7' && first[1] == 'z' && first[2] == 0xBC && first[3] == 0xAF && first[4] == 0x27 &&
        first[5] == 0x1C && first[6] == 0))  // major version 0
    return false;
  return Crc32(0, first.subspan(12, 20)) == Le32(first, 8);
}

Measured MeasureSevenZip(volume::ScanState& state, uint64_t cluster, ByteView data) {
  if (!SevenZipSignature(data)) return {};
  const uint64_t offset = Le64(data, 12), size = Le64(data, 20);
  uint64_t start = 0, end = 0;
  if (!CheckedAdd(kSignatureHeaderBytes, offset, start) || !CheckedAdd(start, size, end) ||
      end > state.dataAreaBytes)
    return {};
  if (size == 0 || size > kMaxCheckedNextHeader) return {end, {}};
  FileStream stream(state, cluster, data);
  if (stream.At(start, 1).empty()) return {end, ContentCheck::DamagedFrom(start)};
  uint32_t crc = 0;
  const uint64_t fed = stream.Feed(size, [&](ByteView piece) {
    crc = Crc32(crc, piece);
    return piece.size();
  });
  if (stream.Cancelled()) return {end, {}};
  if (fed != size || crc != Le32(data, 28)) return {end, ContentCheck::DamagedFrom(start)};
  // The listing is right; the packed streams are not unpacked to check theirs.
  return {end, {}};
}

}  // namespace vellum::content
