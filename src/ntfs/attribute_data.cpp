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
                              uint64_t firstVcn, int depth, std::u16string_view name) {
  std::vector<uint8_t> copy(record.begin(), record.end());
  const auto ref = detail::FindAttribute(state, copy, type, firstVcn, false, depth, name);
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
    const ByteView value = ValueOf(attribute, *h);
    l.residentValue.assign(value.begin(), value.end());
  }
  return l;
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

AttributeReader::AttributeReader(volume::ScanState& state, ByteView record, uint32_t type, int depth,
                                 std::u16string_view name)
    : state_(state), record_(record.begin(), record.end()), type_(type), depth_(depth), name_(name) {
  auto located = Locate(state_, record_, type_, 0, depth_, name_);
  if (!located) return;
  found_ = true;
  header_ = located->header;
  residentValue_ = std::move(located->residentValue);
  if (header_.nonResident) extents_.push_back(std::move(located->extent));
}

const Extent* AttributeReader::NextExtent(size_t index) {
  if (index + 1 < extents_.size()) return &extents_[index + 1];
  // Extents follow one another without gaps; each step moves past the last
  // one, so a list that points back cannot make the chain endless.
  const Extent& last = extents_[index];
  if (lastExtentKnown_ || last.lastVcn == UINT64_MAX || extents_.size() > kMaxExtentSteps) return nullptr;
  auto next = Locate(state_, record_, type_, last.lastVcn + 1, depth_, name_);
  if (!next || !next->header.nonResident || next->extent.Empty()) {
    lastExtentKnown_ = true;
    return nullptr;
  }
  extents_.push_back(std::move(next->extent));
  return &extents_.back();
}

// Reads n clusters from vcn, moving on to the following extent whenever the
// current one ends. Returns the clusters delivered.
uint64_t AttributeReader::ReadAcrossExtents(uint64_t vcn, uint64_t n, MutableBytes out, uint64_t& sparse,
                                            uint64_t& unread) {
  const uint64_t clusterBytes = state_.clusterBytes;
  uint64_t delivered = 0;
  size_t index = 0;
  for (int steps = 0; delivered < n;) {
    while (extents_[index].Empty() || extents_[index].lastVcn < vcn) {
      if (++steps > kMaxExtentSteps || !NextExtent(index)) return delivered;
      ++index;
    }
    const Extent& extent = extents_[index];
    // Read() sizes out for n clusters; the rest of it is cut only where it lies inside.
    if (delivered * clusterBytes > out.size()) break;
    const uint64_t t =
        ReadRunClusters(state_, extent, vcn, n - delivered, out.subspan(delivered * clusterBytes), sparse, &unread);
    delivered += t;
    vcn += t;
    // Short of the extent's end, its run list has a hole: nothing further on
    // would fill it.
    if (delivered < n && vcn <= extent.lastVcn) break;
  }
  return delivered;
}

bool AttributeReader::Read(uint64_t vcn, uint64_t count, MutableBytes buffer, bool decompress) {
  const uint64_t clusterBytes = state_.clusterBytes;
  if (clusterBytes == 0) return false;
  count = std::min<uint64_t>(count, buffer.size() / clusterBytes);
  const MutableBytes out = buffer.first(count * clusterBytes);
  uint64_t pos = 0;
  if (!found_ || !CheckedMul(vcn, clusterBytes, pos)) {
    ZeroFrom(out, 0);
    return false;
  }
  const AttributeHeader& h = header_;
  if (!h.nonResident) {
    // A small value kept in the record: the requested window of it.
    const std::vector<uint8_t>& value = residentValue_;
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
  const uint64_t delivered = ReadAcrossExtents(vcn, n, out, sparse, unread);
  ZeroFrom(out, delivered * clusterBytes);
  if (decompress && sparse > 0 && sparse < count) DecompressUnit(out);
  if (h.initializedSize - pos < out.size()) ZeroFrom(out, h.initializedSize - pos);
  return delivered == n && unread == 0;
}

std::optional<AttributeReader::Placement> AttributeReader::PlacementOf(uint64_t vcn, uint64_t count) {
  const uint64_t clusterBytes = state_.clusterBytes;
  uint64_t pos = 0;
  if (!found_ || !header_.nonResident || header_.Compressed() || clusterBytes == 0 ||
      !CheckedMul(vcn, clusterBytes, pos))
    return std::nullopt;
  // Whole clusters only: Read() gives zeros from the initialized size on.
  const uint64_t limit = std::min(header_.initializedSize, header_.allocatedSize);
  count = limit > pos ? std::min(count, (limit - pos) / clusterBytes) : 0;
  if (count == 0) return std::nullopt;
  size_t index = 0;
  for (int steps = 0; extents_[index].Empty() || extents_[index].lastVcn < vcn; ++index)
    if (++steps > kMaxExtentSteps || !NextExtent(index)) return std::nullopt;
  const VcnMapping m = MapVcn(extents_[index], vcn);
  if (!m.found || m.lcn == 0 || m.left == 0) return std::nullopt;
  const uint64_t n = std::min(m.left, count);
  // As ReadRunClusters: a run past the volume's end is damage, not data.
  if (m.lcn > state_.lastCluster || n - 1 > state_.lastCluster - m.lcn) return std::nullopt;
  return Placement{m.lcn, n};
}

namespace detail {

bool ReadAttributeClusters(volume::ScanState& state, ByteView record, uint32_t type, uint64_t vcn,
                           uint64_t count, MutableBytes buffer, bool decompress, int depth) {
  return AttributeReader(state, record, type, depth).Read(vcn, count, buffer, decompress);
}

}  // namespace detail

bool ReadAttributeClusters(volume::ScanState& state, ByteView record, uint32_t type, uint64_t vcn,
                           uint64_t count, MutableBytes buffer, bool decompress) {
  return detail::ReadAttributeClusters(state, record, type, vcn, count, buffer, decompress, 0);
}

}  // namespace vellum::ntfs
