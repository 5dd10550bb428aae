#include "ntfs/cluster_bitmap.h"

#include <algorithm>
#include <vector>

#include "ntfs/attribute.h"
#include "ntfs/attribute_data.h"
#include "ntfs/find_attribute.h"
#include "ntfs/record.h"

namespace vellum::ntfs {

namespace {

uint64_t BitmapCap(const volume::ScanState& state) {
  const uint64_t clusters = state.lastCluster == UINT64_MAX ? UINT64_MAX : state.lastCluster + 1;
  const uint64_t bytes = clusters / 8 + (clusters % 8 != 0);
  const uint64_t device = state.volumeHandle ? state.volumeHandle->Size() : 0;
  return std::min(bytes, device);
}

}  // namespace

bool LoadNtfsClusterBitmap(volume::ScanState& state) {
  state.clusterBitmap.clear();
  std::vector<uint8_t> record(state.mftRecordSize);
  if (!ReadMftRecord(state, kBitmapRecord, record)) return false;
  std::vector<uint8_t> copy;
  AttributeRef ref;
  const auto h = FindHeader(state, record, kAttrData, copy, ref);
  if (!h) return false;
  const ByteView attribute = AttributeBytes(copy, ref);
  const uint64_t cap = BitmapCap(state);
  if (!h->nonResident) {
    const ByteView whole = ValueOf(attribute, *h);
    const ByteView value = whole.first(std::min<uint64_t>(whole.size(), cap));
    state.clusterBitmap.assign(value.begin(), value.end());
    return true;
  }
  const uint64_t bytes = std::min(h->allocatedSize, cap);
  const uint64_t clusterBytes = state.clusterBytes;
  std::vector<uint8_t> bitmap((bytes + clusterBytes - 1) / clusterBytes * clusterBytes);
  // Through the attribute's extents, in case the bitmap was ever split.
  ReadAttributeClusters(state, record, kAttrData, 0, bitmap.size() / clusterBytes, bitmap, false);
  bitmap.resize(bytes);
  state.clusterBitmap = std::move(bitmap);
  return true;
}

}  // namespace vellum::ntfs
