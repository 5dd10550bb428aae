#include "volume/fixups.h"

#include "volume/ntfs_layout.h"

namespace vellum::volume {

namespace {

// The update sequence protects the last two bytes of every 512 bytes of a
// record, whatever the device's sector size: a 4096-byte record of a volume
// with 4096-byte sectors has nine entries, not two.
constexpr uint64_t kStride = 512;

struct UpdateSequence {
  uint64_t offset = 0;
  uint64_t entries = 0;  // the sequence number, then one entry per 512 bytes
};

// The array's place from the record header; none when the record is too
// short to hold the header fields.
bool ReadUpdateSequence(ByteView record, UpdateSequence& array) {
  FieldReader r(record);
  array.offset = r.Read(ntfs_layout::kUpdateSequenceOffset);
  array.entries = r.Read(ntfs_layout::kUpdateSequenceEntries);
  return r.Ok();
}

bool Fits(uint64_t size, const UpdateSequence& array) {
  // The blocks the array covers, and the array itself, inside the record.
  return array.offset < size && size >= kStride * (array.entries - 1) &&
         InBounds(size, array.offset, array.entries * 2);
}

bool NothingToFix(const UpdateSequence& array) { return array.entries < 2; }

}  // namespace

bool FixupsFit(ByteView record) {
  UpdateSequence array;
  if (!ReadUpdateSequence(record, array)) return false;
  return NothingToFix(array) || Fits(record.size(), array);
}

bool ApplyFixups(MutableBytes record) {
  UpdateSequence array;
  if (!ReadUpdateSequence(record, array)) return false;
  if (NothingToFix(array)) return true;
  if (!Fits(record.size(), array)) return false;
  for (uint64_t i = 1; i < array.entries; ++i) {
    // Fits() holds every target inside the record: i x kStride <= size.
    const uint64_t target = i * kStride - 2;
    record[target] = record[array.offset + 2 * i];
    record[target + 1] = record[array.offset + 2 * i + 1];
  }
  return true;
}

}  // namespace vellum::volume
