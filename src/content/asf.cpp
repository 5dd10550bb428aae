#include <algorithm>
#include <array>

#include "content/content_row.h"
#include "content/file_window.h"
#include "content/record_walks.h"

namespace vellum::content {

namespace {

// 8CABDCA1-A947-11CF-8EE4-00C00C205365 as stored.
constexpr std::array<uint8_t, 16> kFilePropertiesGuid = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                         0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr uint64_t kFirstObject = 30;  // past the header object's own fixed part
constexpr size_t kObjectNeed = 48;     // GUID, size, and the file-size field at 40
constexpr int kMaxObjects = 100;
constexpr uint64_t kMaxObjectSize = 10'485'760'000ull;
constexpr uint64_t kMaxFileSize = 4'294'967'296ull;

// The fields of an object header, and of the File Properties Object's file
// size, that the walk uses.
struct ObjectHeader {
  bool fileProperties = false;
  uint64_t objectSize = 0;
  uint64_t fileSize = 0;  // File Properties Object only
};

// False when `object` is shorter than kObjectNeed (the header and the file
// size field after it).
bool ReadObjectHeader(ByteView object, ObjectHeader& out) {
  FieldReader r(object);
  const ByteView guid = r.Bytes(0, kFilePropertiesGuid.size());
  out.fileProperties = r.Ok() && std::equal(kFilePropertiesGuid.begin(), kFilePropertiesGuid.end(), guid.begin());
  out.objectSize = r.U64(16);
  out.fileSize = r.U64(40);
  return r.Ok();
}

}  // namespace

uint64_t MeasureAsf(volume::ScanState& state, uint64_t cluster, ByteView data) {
  if (data.size() < kFirstObject + kObjectNeed) {
    // The header object's own fixed part and its first object do not fit.
    ++state.truncatedStructures;
    return kDefaultSize;
  }
  // The walk goes on past the end of the header object into what follows it;
  // the File Properties Object normally comes early inside the header.
  RecordWalk walk(state, cluster, data, kFirstObject);
  for (int i = 0; i < kMaxObjects; ++i) {
    // The walk holds kObjectNeed bytes after every move.
    ObjectHeader object;
    if (!ReadObjectHeader(walk.Current(), object)) {
      ++state.truncatedStructures;
      return kDefaultSize;
    }
    if (object.fileProperties)
      return object.fileSize > 0 && object.fileSize < kMaxFileSize ? object.fileSize : kDefaultSize;
    if (object.objectSize == 0 || object.objectSize >= kMaxObjectSize) return kDefaultSize;
    if (!walk.MoveToNextRecord(object.objectSize, kObjectNeed)) return kDefaultSize;
  }
  return 0;
}

}  // namespace vellum::content
