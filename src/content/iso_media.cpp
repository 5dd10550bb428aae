#include <string_view>

#include "content/content_row.h"
#include "content/file_window.h"
#include "content/record_walks.h"

namespace vellum::content {

namespace {

constexpr size_t kBoxNeed = 12;
constexpr int kMaxBoxes = 100;

uint32_t Be32(ByteView b, uint64_t off) {
  if (!InBounds(b.size(), off, 4)) return 0;
  return (uint32_t{b[off]} << 24) | (uint32_t{b[off + 1]} << 16) | (uint32_t{b[off + 2]} << 8) | b[off + 3];
}

bool IsCountedBoxType(ByteView box) {
  for (std::string_view type : {"ftyp", "wide", "free", "skip", "mdat", "pnot", "moov"})
    if (BytesEqual(box, 4, type)) return true;
  return false;
}

}  // namespace

uint64_t MeasureIsoMedia(volume::ScanState& state, uint64_t cluster, ByteView data) {
  if (data.size() < kBoxNeed) return kDefaultSize;
  RecordWalk walk(state, cluster, data);
  uint64_t total = 0;
  for (int i = 0; i < kMaxBoxes; ++i) {
    const ByteView box = walk.Current();
    if (!IsCountedBoxType(box)) break;
    const uint32_t boxSize = Be32(box, 0);
    // Size 1 announces a 64-bit size after the type; such boxes are not
    // counted, and since the box's end is unknown the walk ends before it
    // rather than adding 1 and landing inside its header.
    if (boxSize == 0 || boxSize == 1) break;
    total += boxSize;
    if (!walk.MoveToNextRecord(boxSize, kBoxNeed)) break;
  }
  return total != 0 ? total : kDefaultSize;
}

}  // namespace vellum::content
