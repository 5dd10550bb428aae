#include <string_view>

#include "content/content_row.h"
#include "content/lost_file.h"
#include "content/record_walks.h"

namespace vellum::content {

namespace {

// Top-level boxes: a fragmented recording has a moof and an mdat per
// second or so, which this allows for hours of it.
constexpr uint64_t kMaxBoxes = 1'000'000;

// A box type is four printable characters: letters, digits, spaces (and the
// few other characters registered types use). Anything else (zeros, the
// next file's bytes) is not a box of this file.
bool IsPlausibleBoxType(const uint8_t* t) {
  for (int i = 0; i < 4; ++i) {
    const uint8_t ch = t[i];
    const bool ok = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
                    ch == ' ' || ch == '-' || ch == '_';
    if (!ok) return false;
  }
  return true;
}

uint64_t BigEndian(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

uint64_t MeasureIsoMedia(volume::ScanState& state, uint64_t cluster, ByteView data) {
  if (data.size() < 12) {
    ++state.truncatedStructures;  // the first box's header and brand do not fit
    return kDefaultSize;
  }
  LostFile file(state, cluster, data);
  uint64_t pos = 0;
  for (uint64_t i = 0; i < kMaxBoxes; ++i) {
    uint8_t head[16] = {};
    if (!file.Read(pos, MutableBytes(head, 8)) || !IsPlausibleBoxType(head + 4)) break;
    uint64_t size = BigEndian(head, 4);
    uint64_t headerBytes = 8;
    if (size == 1) {  // the 64-bit size follows the type
      if (!file.Read(pos + 8, MutableBytes(head + 8, 8))) break;
      size = BigEndian(head + 8, 8);
      headerBytes = 16;
    }
    // Size 0 runs to the end of the file, which nothing here can prove: the
    // file is taken to end before that box.
    uint64_t end = 0;
    if (size < headerBytes || !CheckedAdd(pos, size, end) || end > file.Limit()) break;
    pos = end;
  }
  return pos != 0 ? pos : kDefaultSize;
}

}  // namespace vellum::content
