#include "ntfs/record.h"

#include <algorithm>
#include <vector>

#include "ntfs/attribute.h"
#include "ntfs/data_runs.h"
#include "ntfs/nesting.h"
#include "volume/fixups.h"
#include "volume/sector_io.h"

namespace vellum::ntfs {

namespace {

// Whether one attribute's own structures were cut short.
bool AttributeCutShort(ByteView attribute) {
  bool cutShort = false;
  const auto h = ParseAttribute(attribute, &cutShort);
  if (!h) return cutShort;
  if (h->nonResident) {
    RunListReader runs(RunListOf(attribute, *h), h->firstVcn);
    for (Run run; runs.Next(run);) {
    }
    return runs.CutShort();
  }
  const ByteView value = ValueOf(attribute, *h);
  if (h->type == kAttrFileName) return !FileNameFits(value);
  if (h->type == kAttrAttributeList) {
    AttributeListWalk entries(value);
    for (ListEntry entry; entries.Next(entry);) {
    }
    return entries.CutShort();
  }
  return false;
}

}  // namespace

bool RecordCutShort(ByteView record) {
  if (!volume::FixupsFit(record)) return true;
  AttributeWalk walk(record);
  for (AttributeRef ref; walk.Next(ref);)
    if (AttributeCutShort(AttributeBytes(record, ref))) return true;
  return walk.CutShort();
}

namespace detail {

bool ReadMftRecord(volume::ScanState& state, uint32_t number, MutableBytes buffer, int depth) {
  const uint64_t recordSize = state.mftRecordSize;
  const uint64_t clusterBytes = state.clusterBytes;
  if (recordSize == 0 || clusterBytes == 0 || buffer.size() < recordSize ||
      state.mftRecord0.size() < recordSize)
    return false;
  // Whole clusters around the record: one when records are smaller than a
  // cluster, several when larger; they may sit in different runs.
  const uint64_t position = uint64_t{number} * recordSize;
  const uint64_t vcn = position / clusterBytes;
  const uint64_t within = position % clusterBytes;
  const uint64_t clusters = (within + recordSize + clusterBytes - 1) / clusterBytes;
  std::vector<uint8_t> unit(clusters * clusterBytes);
  ReadAttributeClusters(state, state.mftRecord0, kAttrData, vcn, clusters, unit, false, depth);
  const MutableBytes record = buffer.first(recordSize);
  std::copy_n(unit.begin() + static_cast<ptrdiff_t>(within), recordSize, record.begin());
  if (!HasFileSignature(record)) return false;
  volume::ApplyFixups(record);
  return true;
}

}  // namespace detail

bool ReadMftRecord(volume::ScanState& state, uint32_t number, MutableBytes buffer) {
  return detail::ReadMftRecord(state, number, buffer, 0);
}

bool ReadRecordAt(volume::ScanState& state, uint64_t cluster, uint32_t slot, MutableBytes buffer) {
  const uint64_t recordSize = state.mftRecordSize;
  const uint64_t clusterBytes = state.clusterBytes;
  if (recordSize == 0 || clusterBytes == 0 || buffer.size() < recordSize) return false;
  const uint64_t clusters = (recordSize + clusterBytes - 1) / clusterBytes;
  const uint64_t unitBytes = clusters * clusterBytes;
  if (!InBounds(unitBytes, uint64_t{slot} * recordSize, recordSize)) return false;
  std::vector<uint8_t> unit(unitBytes);
  uint64_t sector = 0;
  if (!CheckedMul(cluster, state.sectorsPerCluster, sector)) return false;
  const bool read = volume::ReadSectors(state, sector, clusters * state.sectorsPerCluster, unit);
  const MutableBytes record = buffer.first(recordSize);
  std::copy_n(unit.begin() + static_cast<ptrdiff_t>(slot * recordSize), recordSize, record.begin());
  volume::ApplyFixups(record);
  return read;
}

}  // namespace vellum::ntfs
