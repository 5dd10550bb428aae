#include <string_view>

#include "content/content_row.h"
#include "content/file_window.h"
#include "content/record_walks.h"

namespace vellum::content {

namespace {

constexpr size_t kBoxNeed = 12;
constexpr int kMaxBoxes = 100;

bool IsCountedBoxType(ByteView type) {
  for (std::string_view counted : {"ftyp", "wide", "free", "skip", "mdat", "pnot", "moov"})
    if (BytesEqual(type, 0, counted)) return true;
  return false;
}

// A box header: its 32-bit size (big-endian) and its type.
struct BoxHeader {
  uint32_t size = 0;
  ByteView type;
};

// False when `box` is shorter than kBoxNeed.
bool ReadBoxHeader(ByteView box, BoxHeader& out) {
  FieldReader r(box);
  const ByteView size = r.Bytes(0, 4);
  out.type = r.Bytes(4, 4);
  if (!r.Require(0, kBoxNeed)) return false;
  out.size = (uint32_t{size[0]} << 24) | (uint32_t{size[1]} << 16) | (uint32_t{size[2]} << 8) | size[3];
  return true;
}

}  // namespace

uint64_t MeasureIsoMedia(volume::ScanState& state, uint64_t cluster, ByteView data) {
  if (data.size() < kBoxNeed) {
    ++state.truncatedStructures;  // the first box's header does not fit
    return kDefaultSize;
  }
  RecordWalk walk(state, cluster, data);
  uint64_t total = 0;
  for (int i = 0; i < kMaxBoxes; ++i) {
    // The walk holds kBoxNeed bytes after every move.
    BoxHeader box;
    if (!ReadBoxHeader(walk.Current(), box)) {
      ++state.truncatedStructures;
      break;
    }
    if (!IsCountedBoxType(box.type)) break;
    const uint32_t boxSize = box.size;
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
