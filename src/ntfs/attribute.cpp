#include "ntfs/attribute.h"

namespace vellum::ntfs {

namespace {

// A resident header is 24 bytes (an empty resident value needs no more); a
// non-resident one carries the three sizes and ends at 64.
constexpr uint32_t kResidentHeaderBytes = 24;
constexpr uint32_t kNonResidentHeaderBytes = 64;
constexpr uint8_t kDosOnlyNamespace = 2;
constexpr uint64_t kFileNameHeaderBytes = 66;

bool UsableFileName(ByteView attribute, const AttributeHeader& h) {
  if (h.nonResident || h.valueLength < kFileNameHeaderBytes) return false;
  const ByteView value = attribute.subspan(h.valueOffset, h.valueLength);
  if (Le8(value, 65) == kDosOnlyNamespace) return false;
  return InBounds(value.size(), kFileNameHeaderBytes, 2ull * Le8(value, 64));
}

}  // namespace

bool HasFileSignature(ByteView record) { return BytesEqual(record, 0, "FILE"); }

uint16_t RecordFlags(ByteView record) { return Le16(record, 22); }

ByteView AttributeBytes(ByteView record, AttributeRef ref) {
  if (!InBounds(record.size(), ref.offset, ref.length)) return {};
  return record.subspan(ref.offset, ref.length);
}

std::optional<AttributeHeader> ParseAttribute(ByteView a) {
  AttributeHeader h;
  h.type = Le32(a, 0);
  h.length = Le32(a, 4);
  h.nonResident = Le8(a, 8) != 0;
  h.nameLength = Le8(a, 9);
  h.nameOffset = Le16(a, 10);
  h.flags = Le16(a, 12);
  const size_t size = a.size();
  if (size < (h.nonResident ? kNonResidentHeaderBytes : kResidentHeaderBytes)) return std::nullopt;
  if (h.nameLength != 0 && !InBounds(size, h.nameOffset, 2ull * h.nameLength)) return std::nullopt;
  if (!h.nonResident) {
    h.valueLength = Le32(a, 16);
    h.valueOffset = Le16(a, 20);
    if (!InBounds(size, h.valueOffset, h.valueLength)) return std::nullopt;
    return h;
  }
  h.firstVcn = Le64(a, 16);
  h.lastVcn = Le64(a, 24);
  h.runListOffset = Le16(a, 32);
  h.compressionUnit = Le16(a, 34);
  h.allocatedSize = Le64(a, 40);
  h.dataSize = Le64(a, 48);
  h.initializedSize = Le64(a, 56);
  if (h.runListOffset < kNonResidentHeaderBytes || h.runListOffset > size) return std::nullopt;
  return h;
}

ByteView ResidentValue(ByteView attribute) {
  const auto h = ParseAttribute(attribute);
  if (!h || h->nonResident) return {};
  return attribute.subspan(h->valueOffset, h->valueLength);
}

AttributeWalk::AttributeWalk(ByteView record) : record_(record), at_(Le16(record, 20)) {}

bool AttributeWalk::Next(AttributeRef& ref) {
  if (!InBounds(record_.size(), at_, 8)) return false;
  const auto type = static_cast<int32_t>(Le32(record_, at_));
  const uint32_t length = Le32(record_, at_ + 4);
  if (type < 16 || type > 256 || length < kResidentHeaderBytes ||
      !InBounds(record_.size(), at_, length)) {
    at_ = record_.size();
    return false;
  }
  ref = {static_cast<uint32_t>(at_), length};
  at_ += length;
  return true;
}

std::optional<AttributeRef> FindInRecord(ByteView record, uint32_t type, uint64_t firstVcn) {
  AttributeWalk walk(record);
  for (AttributeRef ref; walk.Next(ref);) {
    const ByteView a = AttributeBytes(record, ref);
    const auto h = ParseAttribute(a);
    if (!h || h->type != type || !h->Unnamed()) continue;
    if (h->nonResident && h->firstVcn != firstVcn) continue;
    if (type == kAttrFileName && !UsableFileName(a, *h)) continue;
    return ref;
  }
  return std::nullopt;
}

}  // namespace vellum::ntfs
