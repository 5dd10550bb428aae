#include "content/png.h"

#include <algorithm>
#include <optional>

#include "platform/crc32.h"

namespace vellum::content {

namespace {

constexpr uint64_t kSignatureBytes = 8;
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;  // the format's own limit
constexpr uint64_t kMaxChunks = 10'000'000;

bool IsChunkType(const uint8_t* t) {
  for (int i = 0; i < 4; ++i)
    if (!((t[i] >= 'A' && t[i] <= 'Z') || (t[i] >= 'a' && t[i] <= 'z'))) return false;
  return true;
}

// The CRC of `length` bytes from `at`, read cluster by cluster.
bool CrcOf(LostFile& file, uint64_t at, uint64_t length, uint32_t& crc) {
  crc = 0;
  while (length > 0) {
    uint64_t start = 0;
    const ByteView cluster = file.ClusterHolding(at, start);
    if (cluster.empty()) return false;
    const uint64_t within = at - start;
    const uint64_t n = std::min<uint64_t>(cluster.size() - within, length);
    crc = platform::Crc32(crc, cluster.data() + within, static_cast<size_t>(n));
    at += n;
    length -= n;
  }
  return true;
}

}  // namespace

Measured MeasurePng(LostFile& file) {
  uint64_t pos = kSignatureBytes;
  std::optional<uint64_t> firstBad;
  for (uint64_t chunk = 0; chunk < kMaxChunks; ++chunk) {
    uint8_t head[8] = {};
    uint32_t length = 0, stored = 0, crc = 0;
    if (!file.Read(pos, head) || !IsChunkType(head + 4)) break;
    length = uint32_t{head[0]} << 24 | uint32_t{head[1]} << 16 | uint32_t{head[2]} << 8 | head[3];
    if (length > kMaxChunkLength || !CrcOf(file, pos + 4, uint64_t{length} + 4, crc) ||
        !file.U32(pos + 8 + length, true, stored))
      break;
    if (crc != stored && !firstBad) firstBad = pos;
    const uint64_t end = pos + 12 + length;
    if (head[4] == 'I' && head[5] == 'E' && head[6] == 'N' && head[7] == 'D')
      return {end, firstBad ? ContentCheck::DamagedFrom(*firstBad) : ContentCheck::Verified()};
    pos = end;
  }
  return {pos, ContentCheck::DamagedFrom(firstBad.value_or(pos))};
}

}  // namespace vellum::content
