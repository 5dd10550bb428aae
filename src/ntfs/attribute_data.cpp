#include "ntfs/attribute_data.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "ntfs/attribute.h"
#include "ntfs/data_runs.h"
#include "ntfs/lznt1.h"
#include "ntfs/nesting.h"

namespace vellum::ntfs {

namespace {

struct Located {
  AttributeHeader header;
  Extent extent;
  std::vector<uint8_t> residentValue;
};

// The attribute's extent starting at firstVcn, searched in a private copy of
// the record (the search may replace the copy by an extension record).
std::optional<Located> Locate(volume::ScanState& state, ByteView record, uint32_t type,
                              uint64_t firstVcn, int depth) {
  std::vector<uint8_t> copy(record.begin(), record.end());
  const auto ref = detail::FindAttribute(state, copy, type, firstVcn, false, depth);
  if (!ref) return std::nullopt;
  const ByteView attribute = AttributeBytes(copy, *ref);
  const auto h = ParseAttribute(attribute);
  if (!h) return std::nullopt;
  Located l;
  l.header = *h;
  if (h->nonResident) {
    auto extent = ExtentOf(attribute);
    if (!extent) return std::nullopt;
    l.extent = std::move(*extent);
  } else {
    const ByteView value = attribute.subspan(h->valueOffset, h->valueLength);
    l.residentValue.assign(value.begin(), value.end());
  }
  return l;
}

// Reads n clusters from vcn, moving on to the following extent whenever the
// current one ends. Returns the clusters delivered.
uint64_t ReadAcrossExtents(volume::ScanState& state, ByteView record, uint32_t type, Extent extent,
                           uint64_t vcn, uint64_t n, MutableBytes out, uint64_t& sparse, uint64_t& unread,
                           int depth) {
  const uint64_t clusterBytes = state.clusterBytes;
  uint64_t delivered = 0;
  for (int steps = 0; delivered < n;) {
    while (extent.Empty() || extent.lastVcn < vcn) {
      // Extents follow one another without gaps; each step moves past the
      // last one, so a list that points back cannot hold us here.
      if (extent.lastVcn == UINT64_MAX || ++steps > kMaxExtentSteps) return delivered;
      auto next = Locate(state, record, type, extent.lastVcn + 1, depth);
      if (!next || !next->header.nonResident || next->extent.Empty()) return delivered;
      extent = std::move(next->extent);
    }
    const uint64_t t = ReadRunClusters(state, extent, vcn, n - delivered,
                                       out.subspan(delivered * clusterBytes), sparse, &unread);
    delivered += t;
    vcn += t;
    // Short of the extent's end, its run list has a hole: nothing further on
    // would fill it.
    if (delivered < n && vcn <= extent.lastVcn) break;
  }
  return delivered;
}

void ZeroFrom(MutableBytes buffer, uint64_t from) {
  if (from < buffer.size()) std::fill(buffer.begin() + static_cast<ptrdiff_t>(from), buffer.end(), 0);
}

void DecompressUnit(MutableBytes unit) {
  std::vector<uint8_t> out(unit.size());
  DecompressLznt1(unit, out);
  std::copy(out.begin(), out.end(), unit.begin());
}

}  // namespace

namespace detail {

bool ReadAttributeClusters(volume::ScanState& state, ByteView record, uint32_t type, uint64_t vcn,
                           uint64_t count, MutableBytes buffer, bool decompress, int depth) {
  const uint64_t clusterBytes = state.clusterBytes;
  if (clusterBytes == 0) return false;
  count = std::min<uint64_t>(count, buffer.size() / clusterBytes);
  const MutableBytes out = buffer.first(count * clusterBytes);
  uint64_t pos = 0;
  auto located = Locate(state, record, type, 0, depth);
  if (!located || !CheckedMul(vcn, clusterBytes, pos)) {
    ZeroFrom(out, 0);
    return false;
  }
  const AttributeHeader& h = located->header;
  if (!h.nonResident) {
    // A small value kept in the record: the requested window of it.
    const std::vector<uint8_t>& value = located->residentValue;
    const uint64_t n = pos < value.size() ? std::min<uint64_t>(value.size() - pos, out.size()) : 0;
    std::copy_n(value.begin() + static_cast<ptrdiff_t>(pos < value.size() ? pos : 0), n, out.begin());
    ZeroFrom(out, n);
    return true;
  }
  if (h.initializedSize <= pos || h.allocatedSize <= pos) {
    ZeroFrom(out, 0);
    return true;
  }
  const uint64_t n = std::min(count, (h.allocatedSize - pos) / clusterBytes);
  uint64_t sparse = 0, unread = 0;
  const uint64_t delivered =
      ReadAcrossExtents(state, record, type, std::move(located->extent), vcn, n, out, sparse, unread, depth);
  ZeroFrom(out, delivered * clusterBytes);
  if (decompress && sparse > 0 && sparse < count) DecompressUnit(out);
  if (h.initializedSize - pos < out.size()) ZeroFrom(out, h.initializedSize - pos);
  return delivered == n && unread == 0;
}

}  // namespace detail

bool ReadAttributeClusters(volume::ScanState& state, ByteView record, uint32_t type, uint64_t vcn,
                           uint64_t count, MutableBytes buffer, bool decompress) {
  return detail::ReadAttributeClusters(state, record, type, vcn, count, buffer, decompress, 0);
}

}  // namespace vellum::ntfs
