#include "ntfs/find_attribute.h"

#include <algorithm>

#include "ntfs/data_runs.h"
#include "ntfs/nesting.h"

namespace vellum::ntfs {

namespace {

// The record's attribute list as far as its data size reaches (the slack of
// its last cluster is not part of it), capped at kMaxAttributeListBytes.
bool ReadAttributeList(volume::ScanState& state, ByteView record, std::vector<uint8_t>& list) {
  const auto ref = FindInRecord(record, kAttrAttributeList, 0);
  if (!ref) return false;
  const auto h = ParseAttribute(AttributeBytes(record, *ref));
  if (!h) return false;
  ReadAttributeValue(state, record, *ref, kMaxAttributeListBytes, list);
  if (h->nonResident && h->dataSize < list.size()) list.resize(h->dataSize);
  return true;
}

// Follows the list entries for (type, firstVcn) into extension records.
std::optional<AttributeRef> SearchThroughList(volume::ScanState& state, MutableBytes record, uint32_t type,
                                              uint64_t firstVcn, int depth, std::u16string_view name) {
  std::vector<uint8_t> list;
  if (depth >= detail::kMaxNesting || record.size() != state.mftRecordSize ||
      !ReadAttributeList(state, record, list))
    return std::nullopt;
  std::vector<uint32_t> tried;
  std::vector<uint8_t> extension(record.size());
  AttributeListWalk entries(list);
  for (ListEntry entry; entries.Next(entry);) {
    const bool wanted = entry.type == type && entry.nameLength == name.size() && entry.name == name &&
                        entry.firstVcn == firstVcn;
    const auto number = static_cast<uint32_t>(entry.reference);
    // Each record once: a list naming the same record again (or the record
    // itself) adds nothing but reads.
    if (!wanted || std::find(tried.begin(), tried.end(), number) != tried.end()) continue;
    if (tried.size() == kMaxListRecordReads) break;
    tried.push_back(number);
    if (!detail::ReadMftRecord(state, number, extension, depth + 1)) continue;
    if (const auto found = FindInRecord(extension, type, firstVcn, name)) {
      std::copy(extension.begin(), extension.end(), record.begin());
      return found;
    }
  }
  return std::nullopt;
}

}  // namespace

namespace detail {

std::optional<AttributeRef> FindAttribute(volume::ScanState& state, MutableBytes record, uint32_t type,
                                          uint64_t firstVcn, bool noList, int depth, std::u16string_view name) {
  if (const auto found = FindInRecord(record, type, firstVcn, name)) return found;
  if (noList || type == kAttrAttributeList) return std::nullopt;
  return SearchThroughList(state, record, type, firstVcn, depth, name);
}

}  // namespace detail

std::optional<AttributeRef> FindAttribute(volume::ScanState& state, MutableBytes record,
                                          uint32_t type, uint64_t firstVcn, bool noList, std::u16string_view name) {
  return detail::FindAttribute(state, record, type, firstVcn, noList, 0, name);
}

bool ReadAttributeValue(volume::ScanState& state, ByteView record, AttributeRef ref,
                        uint64_t maxBytes, std::vector<uint8_t>& value) {
  value.clear();
  const ByteView attribute = AttributeBytes(record, ref);
  const auto h = ParseAttribute(attribute);
  if (!h) return false;
  if (!h->nonResident) {
    const ByteView whole = ValueOf(attribute, *h);
    const ByteView v = whole.first(std::min<uint64_t>(whole.size(), maxBytes));
    value.assign(v.begin(), v.end());
    return h->valueLength <= maxBytes;
  }
  const auto extent = ExtentOf(attribute);
  const uint64_t clusterBytes = state.clusterBytes;
  if (!extent || clusterBytes == 0) return false;
  if (extent->Empty()) return true;
  uint64_t bytes = 0;
  const bool whole = extent->lastVcn < UINT64_MAX / clusterBytes &&
                     CheckedMul(extent->lastVcn + 1, clusterBytes, bytes) && bytes <= maxBytes;
  if (!whole) bytes = maxBytes;
  const uint64_t clusters = (bytes + clusterBytes - 1) / clusterBytes;
  value.assign(clusters * clusterBytes, 0);
  uint64_t sparse = 0;
  const uint64_t delivered = ReadRunClusters(state, *extent, 0, clusters, value, sparse);
  value.resize(bytes);
  return whole && delivered == clusters;
}

std::optional<AttributeHeader> FindHeader(volume::ScanState& state, ByteView record, uint32_t type,
                                          std::vector<uint8_t>& copy, AttributeRef& ref, std::u16string_view name) {
  copy.assign(record.begin(), record.end());
  const auto found = FindAttribute(state, copy, type, 0, false, name);
  if (!found) return std::nullopt;
  ref = *found;
  return ParseAttribute(AttributeBytes(copy, ref));
}

}  // namespace vellum::ntfs
