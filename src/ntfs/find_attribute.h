// Finding a record's attributes, including those moved to extension records
// behind an attribute list, and reading an attribute's value.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "ntfs/attribute.h"
#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::ntfs {

// The largest attribute list we read. Real lists hold a few dozen entries of
// 32 bytes or so; a damaged size must not become a huge read.
inline constexpr uint64_t kMaxAttributeListBytes = 256 * 1024;
// Extension records read for one search through an attribute list. One entry
// names the wanted extent; a list naming many is damaged.
inline constexpr size_t kMaxListRecordReads = 8;

// The first unnamed attribute of `type` (the extent starting at firstVcn when
// non-resident), as a position in `record`. When the record itself has none
// and noList is false, its attribute list is followed: each extension record
// it names for that type and first VCN is read, and when one holds the
// attribute, `record` is overwritten with that extension record and the
// position refers to it. Callers that still need the record they passed keep
// a copy. `record` must be mftRecordSize bytes for the list to be followed.
// `name`, when not empty, asks for the attribute of that name instead (an
// alternate data stream is a named $DATA).
std::optional<AttributeRef> FindAttribute(volume::ScanState& state, MutableBytes record,
                                          uint32_t type, uint64_t firstVcn, bool noList,
                                          std::u16string_view name = {});

// The unnamed attribute of `type` (its first extent) in a copy of `record`,
// followed through the attribute list: its parsed header, with `copy` holding
// the record it was found in and `ref` its position there.
std::optional<AttributeHeader> FindHeader(volume::ScanState& state, ByteView record, uint32_t type,
                                          std::vector<uint8_t>& copy, AttributeRef& ref,
                                          std::u16string_view name = {});

// A resident attribute's value, or the clusters of a non-resident extent from
// VCN 0 to its last VCN, at most maxBytes. True when all of it was read.
bool ReadAttributeValue(volume::ScanState& state, ByteView record, AttributeRef ref,
                        uint64_t maxBytes, std::vector<uint8_t>& value);

}  // namespace vellum::ntfs
