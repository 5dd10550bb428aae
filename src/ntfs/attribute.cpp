#include "ntfs/attribute.h"

#include "volume/ntfs_layout.h"

namespace vellum::ntfs {

namespace {

namespace L = ntfs_layout;

// A resident header is 24 bytes (an empty resident value needs no more); a
// non-resident one carries the three sizes and ends at 64.
using L::kNonResidentHeaderBytes;
using L::kResidentHeaderBytes;
constexpr uint8_t kDosOnlyNamespace = 2;
constexpr uint64_t kFileNameHeaderBytes = L::kFileNameTextOffset;

bool UsableFileName(ByteView attribute, const AttributeHeader& h) {
  if (h.nonResident || h.valueLength < kFileNameHeaderBytes) return false;
  const ByteView value = ValueOf(attribute, h);
  if (Le(value, L::kFileNameSpace) == kDosOnlyNamespace) return false;
  return FileNameFits(value);
}

}  // namespace

bool HasFileSignature(ByteView record) { return BytesEqual(record, L::kRecordSignature.offset, "FILE"); }

uint16_t RecordFlags(ByteView record) { return Le(record, L::kRecordFlags); }

ByteView AttributeBytes(ByteView record, AttributeRef ref) {
  if (!InBounds(record.size(), ref.offset, ref.length)) return {};
  return record.subspan(ref.offset, ref.length);
}

std::optional<AttributeHeader> ParseAttribute(ByteView a, bool* cutShort) {
  FieldReader r(a);
  if (cutShort) *cutShort = false;
  AttributeHeader h;
  h.type = r.Read(L::kAttributeType);
  h.length = r.Read(L::kAttributeLength);
  h.nonResident = r.Read(L::kNonResident) != 0;
  h.nameLength = r.Read(L::kAttributeNameUnits);
  h.nameOffset = r.Read(L::kAttributeNameOffset);
  h.flags = r.Read(L::kAttributeFlags);
  r.Require(0, h.nonResident ? kNonResidentHeaderBytes : kResidentHeaderBytes);
  if (h.nameLength != 0) r.Require(h.nameOffset, 2ull * h.nameLength);
  if (!h.nonResident) {
    h.valueLength = r.Read(L::kValueLength);
    h.valueOffset = r.Read(L::kValueOffset);
    r.Require(h.valueOffset, h.valueLength);
    if (!r.Ok()) {
      if (cutShort) *cutShort = true;
      return std::nullopt;
    }
    return h;
  }
  h.firstVcn = r.Read(L::kFirstVcn);
  h.lastVcn = r.Read(L::kLastVcn);
  h.runListOffset = r.Read(L::kRunListOffset);
  h.compressionUnit = r.Read(L::kCompressionUnit);
  h.allocatedSize = r.Read(L::kAllocatedSize);
  h.dataSize = r.Read(L::kDataSize);
  h.initializedSize = r.Read(L::kInitializedSize);
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
  const uint8_t units = r.Read(L::kFileNameUnits);
  return r.Require(kFileNameHeaderBytes, 2ull * units);
}

AttributeWalk::AttributeWalk(ByteView record) : record_(record) {
  FieldReader r(record);
  at_ = r.Read(L::kFirstAttributeOffset);
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
  const auto type = static_cast<int32_t>(r.U32(at_ + L::kAttributeType.offset));
  // The end marker needs no length after it: it may stand in the last four bytes.
  if (r.Ok() && type == -1) return End(false);
  const uint32_t length = r.U32(at_ + L::kAttributeLength.offset);
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
  entry.type = r.Read(L::kListEntryType);
  const uint16_t length = r.Read(L::kListEntryLength);
  entry.nameLength = r.Read(L::kListEntryNameUnits);
  const uint8_t nameOffset = r.Read(L::kListEntryNameOffset);
  entry.firstVcn = r.Read(L::kListEntryFirstVcn);
  entry.reference = r.Read(L::kListEntryReference);
  const bool whole = r.Require(0, L::kListEntryMinBytes);
  if (whole && length < L::kListEntryMinBytes) {
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
