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
  FieldReader r(a);
  AttributeHeader h;
  h.type = r.U32(0);
  h.length = r.U32(4);
  h.nonResident = r.U8(8) != 0;
  h.nameLength = r.U8(9);
  h.nameOffset = r.U16(10);
  h.flags = r.U16(12);
  r.Require(0, h.nonResident ? kNonResidentHeaderBytes : kResidentHeaderBytes);
  if (h.nameLength != 0) r.Require(h.nameOffset, 2ull * h.nameLength);
  if (!h.nonResident) {
    h.valueLength = r.U32(16);
    h.valueOffset = r.U16(20);
    r.Require(h.valueOffset, h.valueLength);
    if (!r.Ok()) return std::nullopt;
    return h;
  }
  h.firstVcn = r.U64(16);
  h.lastVcn = r.U64(24);
  h.runListOffset = r.U16(32);
  h.compressionUnit = r.U16(34);
  h.allocatedSize = r.U64(40);
  h.dataSize = r.U64(48);
  h.initializedSize = r.U64(56);
  if (!r.Ok() || h.runListOffset < kNonResidentHeaderBytes || h.runListOffset > a.size()) return std::nullopt;
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
