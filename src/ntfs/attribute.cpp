#include "ntfs/attribute.h"

namespace vellum::ntfs {

namespace {

// A resident header is 24 bytes (an empty resident value needs no more); a
// non-resident one carries the three sizes and ends at 64.
constexpr uint32_t kResidentHeaderBytes = 24;
constexpr uint32_t kNonResidentHeaderBytes = 64;
constexpr uint8_t kDosOnlyNamespace = 2;
constexpr uint64_t kFileNameHeaderBytes = 66;
constexpr uint64_t kListEntryMinBytes = 32;

bool UsableFileName(ByteView attribute, const AttributeHeader& h) {
  if (h.nonResident || h.valueLength < kFileNameHeaderBytes) return false;
  const ByteView value = ValueOf(attribute, h);
  if (Le8(value, 65) == kDosOnlyNamespace) return false;
  return FileNameFits(value);
}

}  // namespace

bool HasFileSignature(ByteView record) { return BytesEqual(record, 0, "FILE"); }

uint16_t RecordFlags(ByteView record) { return Le16(record, 22); }

ByteView AttributeBytes(ByteView record, AttributeRef ref) {
  if (!InBounds(record.size(), ref.offset, ref.length)) return {};
  return record.subspan(ref.offset, ref.length);
}

std::optional<AttributeHeader> ParseAttribute(ByteView a, bool* cutShort) {
  FieldReader r(a);
  if (cutShort) *cutShort = false;
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
    if (!r.Ok()) {
      if (cutShort) *cutShort = true;
      return std::nullopt;
    }
    return h;
  }
  h.firstVcn = r.U64(16);
  h.lastVcn = r.U64(24);
  h.runListOffset = r.U16(32);
  h.compressionUnit = r.U16(34);
  h.allocatedSize = r.U64(40);
  h.dataSize = r.U64(48);
  h.initializedSize = r.U64(56);
  // The run list starts inside the attribute, at the earliest after the header.
  r.Require(h.runListOffset, 0);
  if (!r.Ok()) {
    if (cutShort) *cutShort = true;
    return std::nullopt;
  }
  if (h.runListOffset < kNonResidentHeaderBytes) return std::nullopt;
  return h;
}

ByteView ValueOf(ByteView attribute, const AttributeHeader& h) {
  if (h.nonResident || !InBounds(attribute.size(), h.valueOffset, h.valueLength)) return {};
  return attribute.subspan(h.valueOffset, h.valueLength);
}

ByteView RunListOf(ByteView attribute, const AttributeHeader& h) {
  if (!h.nonResident || h.runListOffset > attribute.size()) return {};
  return attribute.subspan(h.runListOffset);
}

ByteView ResidentValue(ByteView attribute) {
  const auto h = ParseAttribute(attribute);
  return h ? ValueOf(attribute, *h) : ByteView{};
}

std::u16string AttributeNameOf(ByteView attribute, const AttributeHeader& h) {
  std::u16string name;
  if (h.nameLength == 0 || !InBounds(attribute.size(), h.nameOffset, 2ull * h.nameLength)) return name;
  name.resize(h.nameLength);
  for (size_t i = 0; i < name.size(); ++i) name[i] = static_cast<char16_t>(Le16(attribute, h.nameOffset + 2 * i));
  return name;
}

bool FileNameFits(ByteView value) {
  FieldReader r(value);
  const uint8_t units = r.U8(64);
  return r.Require(kFileNameHeaderBytes, 2ull * units);
}

AttributeWalk::AttributeWalk(ByteView record) : record_(record) {
  FieldReader r(record);
  at_ = r.U16(20);  // the first attribute's offset in the record header
  if (!r.Ok()) End(true);
}

bool AttributeWalk::End(bool cutShort) {
  ended_ = true;
  cutShort_ = cutShort;
  return false;
}

bool AttributeWalk::Next(AttributeRef& ref) {
  if (ended_) return false;
  FieldReader r(record_);
  const auto type = static_cast<int32_t>(r.U32(at_));
  // The end marker needs no length after it: it may stand in the last four bytes.
  if (r.Ok() && type == -1) return End(false);
  const uint32_t length = r.U32(at_ + 4);
  if (!r.Ok()) return End(true);
  if (type < 16 || type > 256 || length < kResidentHeaderBytes) return End(false);
  if (!r.Require(at_, length)) return End(true);
  ref = {static_cast<uint32_t>(at_), length};
  at_ += length;
  return true;
}

bool AttributeListWalk::Next(ListEntry& entry) {
  if (ended_ || at_ >= list_.size()) return false;
  FieldReader r(list_.subspan(at_));
  entry.type = r.U32(0);
  const uint16_t length = r.U16(4);
  entry.nameLength = r.U8(6);
  const uint8_t nameOffset = r.U8(7);
  entry.firstVcn = r.U64(8);
  entry.reference = r.U64(16);
  const bool whole = r.Require(0, kListEntryMinBytes);
  if (whole && length < kListEntryMinBytes) {
    ended_ = true;
    return false;
  }
  if (!whole || !r.Require(0, length)) {
    ended_ = cutShort_ = true;
    return false;
  }
  entry.name.clear();
  if (entry.nameLength != 0 && InBounds(length, nameOffset, 2ull * entry.nameLength)) {
    const ByteView bytes = list_.subspan(at_);
    for (uint8_t i = 0; i < entry.nameLength; ++i)
      entry.name.push_back(static_cast<char16_t>(Le16(bytes, nameOffset + 2u * i)));
  }
  at_ += length;
  return true;
}

bool IsWantedAttribute(ByteView attribute, const AttributeHeader& h, uint32_t type, uint64_t firstVcn,
                       std::u16string_view name) {
  if (h.type != type || h.nameLength != name.size()) return false;
  if (!name.empty() && AttributeNameOf(attribute, h) != name) return false;
  if (h.nonResident && h.firstVcn != firstVcn) return false;
  return type != kAttrFileName || UsableFileName(attribute, h);
}

std::optional<AttributeRef> FindInRecord(ByteView record, uint32_t type, uint64_t firstVcn,
                                         std::u16string_view name) {
  AttributeWalk walk(record);
  for (AttributeRef ref; walk.Next(ref);) {
    const ByteView a = AttributeBytes(record, ref);
    const auto h = ParseAttribute(a);
    if (h && IsWantedAttribute(a, *h, type, firstVcn, name)) return ref;
  }
  return std::nullopt;
}

}  // namespace vellum::ntfs
