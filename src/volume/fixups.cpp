#include "volume/fixups.h"

namespace vellum::volume {

void ApplyFixups(MutableBytes record, uint32_t bytesPerSector) {
  const uint64_t size = record.size();
  const uint64_t arrayOffset = Le16(record, 4);
  const uint64_t entries = Le16(record, 6);
  if (arrayOffset >= size || entries < 2 || bytesPerSector < 2) return;
  if (size < uint64_t{bytesPerSector} * (entries - 1)) return;
  // The array itself must lie inside the record too.
  if (!InBounds(size, arrayOffset, entries * 2)) return;
  for (uint64_t i = 1; i < entries; ++i) {
    const uint64_t target = i * bytesPerSector - 2;
    record[target] = record[arrayOffset + 2 * i];
    record[target + 1] = record[arrayOffset + 2 * i + 1];
  }
}

}  // namespace vellum::volume
