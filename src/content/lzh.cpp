#include "content/content_row.h"
#include "content/file_window.h"
#include "content/record_walks.h"

namespace vellum::content {

namespace {

constexpr size_t kHeaderNeed = 21;  // up to the level byte at 20
constexpr int kMaxMembers = 10'000;

struct MemberHeader {
  bool member = false;  // "-lh?-" at 2..6 (the method's middle character is not tested)
  uint64_t length = 0;  // the header and the packed data
};

// Levels 0 and 1 count their header from byte 2 (byte 0 is its size less the
// two leading bytes); level 2 stores the whole header's size in bytes 0-1.
// False when `h` is shorter than kHeaderNeed.
bool ReadMemberHeader(ByteView h, MemberHeader& out) {
  FieldReader r(h);
  const uint16_t headerSize = r.U16(0);
  out.member = r.U8(2) == '-' && r.U8(3) == 'l' && r.U8(4) == 'h' && r.U8(6) == '-';
  const uint64_t packed = r.U32(7);
  const uint8_t level = r.U8(20);
  out.length = level <= 1 ? uint64_t{static_cast<uint8_t>(headerSize)} + 2 + packed : uint64_t{headerSize} + packed;
  return r.Ok();
}

}  // namespace

uint64_t MeasureLzh(volume::ScanState& state, uint64_t cluster, ByteView data) {
  if (data.size() < kHeaderNeed) {
    ++state.truncatedStructures;  // the first member's header does not fit
    return kDefaultSize;
  }
  RecordWalk walk(state, cluster, data);
  uint64_t total = 0;
  for (int i = 0; i < kMaxMembers; ++i) {
    // The walk holds kHeaderNeed bytes after every move.
    MemberHeader header;
    if (!ReadMemberHeader(walk.Current(), header)) {
      ++state.truncatedStructures;
      break;
    }
    if (!header.member) break;  // normally the archive's final zero byte
    total += header.length;
    if (!walk.MoveToNextRecord(header.length, kHeaderNeed)) break;
  }
  return total != 0 ? total + 1 : kDefaultSize;
}

}  // namespace vellum::content
