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

// Whether the structures inside an attribute whose header parsed were cut short.
bool BodyCutShort(ByteView attribute, const AttributeHeader& h) {
  if (h.nonResident) {
    RunListReader runs(RunListOf(attribute, h), h.firstVcn);
    for (Run run; runs.Next(run);) {
    }
    return runs.CutShort();
  }
  const ByteView value = ValueOf(attribute, h);
  if (h.type == kAttrFileName) return !FileNameFits(value);
  if (h.type == kAttrAttributeList) {
    AttributeListWalk entries(value);
    for (ListEntry entry; entries.Next(entry);) {
    }
    return entries.CutShort();
  }
  return false;
}

void TakeFirst(std::optional<AttributeRef>& slot, ByteView attribute, const AttributeHeader& h, uint32_t type,
               AttributeRef ref) {
  if (!slot && IsWantedAttribute(attribute, h, type, 0)) slot = ref;
}

}  // namespace

bool RecordCutShort(ByteView record) { return SummariseRecord(record).cutShort; }

RecordSummary SummariseRecord(ByteView record) {
  RecordSummary s;
  bool cut = !volume::FixupsFit(record);
  AttributeWalk walk(record);
  for (AttributeRef ref; walk.Next(ref);) {
    const ByteView a = AttributeBytes(record, ref);
    bool headerCut = false;
    const auto h = ParseAttribute(a, &headerCut);
    if (!h) {
      cut = cut || headerCut;
      continue;
    }
    cut = cut || BodyCutShort(a, *h);
    TakeFirst(s.standardInformation, a, *h, kAttrStandardInformation, ref);
    TakeFirst(s.fileName, a, *h, kAttrFileName, ref);
    TakeFirst(s.data, a, *h, kAttrData, ref);
  }
  s.cutShort = cut || walk.CutShort();
  return s;
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
