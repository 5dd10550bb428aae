// Internal: the record readers, attribute search and attribute reads call one
// another (a record is read through the table's runs, which may sit behind the
// table's attribute list, whose extension records are read as records...).
// Damaged references could make that chain endless, so each entry point
// carries how deep it was called and the attribute-list step reads no
// extension records at kMaxNesting. Healthy volumes need no more: a file's
// extension record (level 1) is read through the table's runs, whose later
// extents (level 2) sit in records of the table's first extent.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "ntfs/attribute.h"
#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::ntfs::detail {

inline constexpr int kMaxNesting = 2;

bool ReadMftRecord(volume::ScanState& state, uint32_t number, MutableBytes buffer, int depth);
std::optional<AttributeRef> FindAttribute(volume::ScanState& state, MutableBytes record, uint32_t type,
                                          uint64_t firstVcn, bool noList, int depth, std::u16string_view name = {});
bool ReadAttributeClusters(volume::ScanState& state, ByteView record, uint32_t type, uint64_t vcn,
                           uint64_t count, MutableBytes buffer, bool decompress, int depth);

}  // namespace vellum::ntfs::detail
