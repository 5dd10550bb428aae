#include "ntfs/file_data.h"

#include <algorithm>

#include "ntfs/attribute.h"
#include "ntfs/attribute_data.h"
#include "ntfs/find_attribute.h"
#include "ntfs/record.h"

namespace vellum::ntfs {

namespace {

// Units beyond this are not something any NTFS writes (4 KiB clusters x 16).
constexpr uint64_t kMaxUnitBytes = 1024 * 1024;

// Clusters of one compression unit, or 0 when the data is not compressed in
// units we can hold. Compressed data is read a unit at a time so that each
// read is decompressed whole.
uint64_t UnitClusters(const AttributeHeader& h, uint64_t clusterBytes) {
  if (!h.Compressed() || h.compressionUnit == 0 || h.compressionUnit > 16) return 0;
  const uint64_t unit = uint64_t{1} << h.compressionUnit;
  return unit * clusterBytes <= kMaxUnitBytes ? unit : 0;
}

}  // namespace

TransferStep TransferStepOf(const AttributeHeader& data, uint64_t clusterBytes) {
  const uint64_t unitClusters = UnitClusters(data, clusterBytes);
  if (unitClusters == 0) return {};
  return {unitClusters, true};
}

bool ReadFileData(volume::ScanState& state, uint32_t number, std::vector<uint8_t>& data,
                  uint64_t maxBytes) {
  data.clear();
  std::vector<uint8_t> record(state.mftRecordSize);
  if (record.empty() || !ReadMftRecord(state, number, record)) return false;
  std::vector<uint8_t> copy;
  AttributeRef ref;
  const auto h = FindHeader(state, record, kAttrData, copy, ref);
  if (!h) return false;
  const ByteView attribute = AttributeBytes(copy, ref);
  if (!h->nonResident) {
    const ByteView value = ResidentValue(attribute);
    if (value.size() > maxBytes) return false;
    data.assign(value.begin(), value.end());
    return true;
  }
  const uint64_t clusterBytes = state.clusterBytes;
  if (h->dataSize > maxBytes || clusterBytes == 0) return false;
  const TransferStep t = TransferStepOf(*h, clusterBytes);
  const uint64_t step = t.clusters;
  const bool compressed = t.decompress;
  std::vector<uint8_t> unit(step * clusterBytes);
  data.resize(h->dataSize);
  bool complete = true;
  AttributeReader reader(state, record, kAttrData);
  for (uint64_t vcn = 0, done = 0; done < data.size(); vcn += step) {
    complete &= reader.Read(vcn, step, unit, compressed);
    const uint64_t n = std::min<uint64_t>(unit.size(), data.size() - done);
    std::copy_n(unit.begin(), n, data.begin() + static_cast<ptrdiff_t>(done));
    done += n;
  }
  return complete;
}

}  // namespace vellum::ntfs
