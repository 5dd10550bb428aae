// NTFS attribute headers inside a file record: where each attribute lies and
// what its header says, every field checked against the record before use.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "volume/le.h"

namespace vellum::ntfs {

inline constexpr uint32_t kAttrStandardInformation = 16;
inline constexpr uint32_t kAttrAttributeList = 32;
inline constexpr uint32_t kAttrFileName = 48;
inline constexpr uint32_t kAttrData = 128;
inline constexpr uint32_t kAttrBitmap = 176;

// File-record header fields.
inline constexpr uint16_t kRecordInUse = 0x0001;
inline constexpr uint16_t kRecordDirectory = 0x0002;
bool HasFileSignature(ByteView record);
uint16_t RecordFlags(ByteView record);

// Where an attribute lies inside a record buffer. Positions, not pointers: the
// buffer may be refilled (an extension record read into it) and a position is
// then simply checked again.
struct AttributeRef {
  uint32_t offset = 0;
  uint32_t length = 0;
};

// The attribute's bytes, or an empty view when the reference does not fit the record.
ByteView AttributeBytes(ByteView record, AttributeRef ref);

struct AttributeHeader {
  uint32_t type = 0;
  uint32_t length = 0;
  bool nonResident = false;
  uint8_t nameLength = 0;
  uint16_t nameOffset = 0;
  uint16_t flags = 0;
  // Resident attributes.
  uint32_t valueLength = 0;
  uint16_t valueOffset = 0;
  // Non-resident attributes (one extent).
  uint64_t firstVcn = 0;
  uint64_t lastVcn = 0;
  uint16_t runListOffset = 0;
  uint16_t compressionUnit = 0;
  uint64_t allocatedSize = 0;
  uint64_t dataSize = 0;
  uint64_t initializedSize = 0;

  bool Unnamed() const { return nameLength == 0; }
  // The low byte holds the compression format; 0x8000 (sparse) may stand beside it.
  bool Compressed() const { return (flags & 0x00FF) != 0; }
};

// Decodes an attribute's header from its bytes (AttributeBytes). Empty when the
// header, its name, its resident value or its run list (which starts after the
// 64-byte header) lie outside the attribute: such an attribute is damaged and
// none of its fields are used. `cutShort`, when given, is set when that is why
// (a run-list offset inside the header is damage of another kind).
std::optional<AttributeHeader> ParseAttribute(ByteView attribute, bool* cutShort = nullptr);

// The attribute's name in UTF-16 units (a named $DATA is an alternate data
// stream); empty for an unnamed one. The header must come from these bytes.
std::u16string AttributeNameOf(ByteView attribute, const AttributeHeader& h);

// The resident value of an attribute, or empty when it is non-resident or malformed.
ByteView ResidentValue(ByteView attribute);
// The same from a header already parsed from these bytes; empty as well when
// the value does not lie inside them.
ByteView ValueOf(ByteView attribute, const AttributeHeader& h);
// A non-resident attribute's run list: its bytes from the run-list offset to
// the attribute's end; empty when resident or when the offset lies outside.
ByteView RunListOf(ByteView attribute, const AttributeHeader& h);

// The attributes of one record in order, from the first-attribute offset.
// The walk ends at the end marker, at a type outside 16..256, at a length too
// short for a header or reaching past the record: what follows a broken
// attribute cannot be located. CutShort() tells, once the walk ended, whether
// it ended at an attribute (or a header) reaching past the record.
class AttributeWalk {
 public:
  explicit AttributeWalk(ByteView record);
  bool Next(AttributeRef& ref);
  bool CutShort() const { return cutShort_; }

 private:
  bool End(bool cutShort);

  ByteView record_;
  uint64_t at_ = 0;
  bool ended_ = false;
  bool cutShort_ = false;
};

// Whether a $FILE_NAME value holds its 66-byte header and the name units
// its length byte announces after it.
bool FileNameFits(ByteView value);

// The entries of an attribute list, in order. Each holds the attribute's
// type, its first VCN and the record (reference) holding it. The list ends
// at an entry shorter than 32 bytes and at one that reaches past the list;
// CutShort() tells the latter.
struct ListEntry {
  uint32_t type = 0;
  uint8_t nameLength = 0;
  std::u16string name;  // empty as well when it does not fit the entry
  uint64_t firstVcn = 0;
  uint64_t reference = 0;
};
class AttributeListWalk {
 public:
  explicit AttributeListWalk(ByteView list) : list_(list) {}
  bool Next(ListEntry& entry);
  bool CutShort() const { return cutShort_; }

 private:
  ByteView list_;
  uint64_t at_ = 0;
  bool ended_ = false;
  bool cutShort_ = false;
};

// The first attribute of `type` named `name` (unnamed when empty) in this
// record alone (no attribute list), the extent starting at firstVcn when
// non-resident. $FILE_NAME attributes holding only a DOS name, or whose name
// does not fit their value, are passed over so that the long name is found.
std::optional<AttributeRef> FindInRecord(ByteView record, uint32_t type, uint64_t firstVcn,
                                         std::u16string_view name = {});
// Whether FindInRecord takes this attribute (its bytes and parsed header).
bool IsWantedAttribute(ByteView attribute, const AttributeHeader& h, uint32_t type, uint64_t firstVcn,
                       std::u16string_view name = {});

}  // namespace vellum::ntfs
