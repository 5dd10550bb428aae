#include "content/content_row.h"
#include "content/file_window.h"
#include "content/record_walks.h"

namespace vellum::content {

namespace {

constexpr size_t kHeaderNeed = 21;  // up to the level byte at 20
constexpr int kMaxMembers = 10'000;

// "-lh?-" at 2..6 (the method's middle character is not tested).
bool IsMemberHeader(ByteView h) {
  return Le8(h, 2) == '-' && Le8(h, 3) == 'l' && Le8(h, 4) == 'h' && Le8(h, 6) == '-';
}

// Levels 0 and 1 count their header from byte 2 (byte 0 is its size less the
// two leading bytes); level 2 stores the whole header's size in bytes 0-1.
uint64_t MemberLength(ByteView h) {
  const uint64_t packed = Le32(h, 7);
  if (Le8(h, 20) <= 1) return uint64_t{Le8(h, 0)} + 2 + packed;
  return uint64_t{Le16(h, 0)} + packed;
}

}  // namespace

uint64_t MeasureLzh(volume::ScanState& state, uint64_t cluster, ByteView data) {
  if (data.size() < kHeaderNeed) return kDefaultSize;
  RecordWalk walk(state, cluster, data);
  uint64_t total = 0;
  for (int i = 0; i < kMaxMembers; ++i) {
    const ByteView header = walk.Current();
    if (!IsMemberHeader(header)) break;  // normally the archive's final zero byte
    const uint64_t length = MemberLength(header);
    total += length;
    if (!walk.MoveToNextRecord(length, kHeaderNeed)) break;
  }
  return total != 0 ? total + 1 : kDefaultSize;
}

}  // namespace vellum::content
