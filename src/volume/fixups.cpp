#include "volume/fixups.h"

namespace vellum::volume {

namespace {

constexpr uint64_t kArrayOffsetField = 4;
constexpr uint64_t kArrayEntriesField = 6;

struct UpdateSequence {
  uint64_t offset = 0;
  uint64_t entries = 0;  // the sequence number, then one entry per sector
};

// The array's place from the record header; none when the record is too
// short to hold the header fields.
bool ReadUpdateSequence(ByteView record, UpdateSequence& array) {
  FieldReader r(record);
  array.offset = r.U16(kArrayOffsetField);
  array.entries = r.U16(kArrayEntriesField);
  return r.Ok();
}

bool Fits(uint64_t size, const UpdateSequence& array, uint32_t bytesPerSector) {
  // The sectors the array covers, and the array itself, inside the record.
  return array.offset < size && size >= uint64_t{bytesPerSector} * (array.entries - 1) &&
         InBounds(size, array.offset, array.entries * 2);
}

bool NothingToFix(const UpdateSequence& array, uint32_t bytesPerSector) {
  return array.entries < 2 || bytesPerSector < 2;
}

}  // namespace

bool FixupsFit(ByteView record, uint32_t bytesPerSector) {
  UpdateSequence array;
  if (!ReadUpdateSequence(record, array)) return false;
  return NothingToFix(array, bytesPerSector) || Fits(record.size(), array, bytesPerSector);
}

bool ApplyFixups(MutableBytes record, uint32_t bytesPerSector) {
  UpdateSequence array;
  if (!ReadUpdateSequence(record, array)) return false;
  if (NothingToFix(array, bytesPerSector)) return true;
  if (!Fits(record.size(), array, bytesPerSector)) return false;
  for (uint64_t i = 1; i < array.entries; ++i) {
    // Fits() holds every target inside the record: i x bytesPerSector <= size.
    const uint64_t target = i * bytesPerSector - 2;
    record[target] = record[array.offset + 2 * i];
    record[target + 1] = record[array.offset + 2 * i + 1];
  }
  return true;
}

}  // namespace vellum::volume
