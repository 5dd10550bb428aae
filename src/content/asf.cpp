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

bool IsFileProperties(ByteView object) {
  return object.size() >= kFilePropertiesGuid.size() &&
         std::equal(kFilePropertiesGuid.begin(), kFilePropertiesGuid.end(), object.begin());
}

}  // namespace

uint64_t MeasureAsf(volume::ScanState& state, uint64_t cluster, ByteView data) {
  if (data.size() < kFirstObject + kObjectNeed) return kDefaultSize;
  // The walk goes on past the end of the header object into what follows it;
  // the File Properties Object normally comes early inside the header.
  RecordWalk walk(state, cluster, data, kFirstObject);
  for (int i = 0; i < kMaxObjects; ++i) {
    const ByteView object = walk.Current();
    if (IsFileProperties(object)) {
      const uint64_t fileSize = Le64(object, 40);
      return fileSize > 0 && fileSize < kMaxFileSize ? fileSize : kDefaultSize;
    }
    const uint64_t objectSize = Le64(object, 16);
    if (objectSize == 0 || objectSize >= kMaxObjectSize) return kDefaultSize;
    if (!walk.MoveToNextRecord(objectSize, kObjectNeed)) return kDefaultSize;
  }
  return 0;
}

}  // namespace vellum::content
