// Putting found entries into the result list. Every row source goes through
// ListFoundEntry so that counting, the progress line, the icon and the
// insertion point stay the same whichever walker found the entry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "volume/fat_layout.h"
#include "volume/scan_state.h"

namespace vellum::volume {

// A row's attributes are FAT's attribute bits, whichever file system it came from.
using fat_layout::kAttrDirectory;

// Data word bits of a result row.
inline constexpr uint32_t kRowFolder = 1;
inline constexpr uint32_t kRowFatChain = 2;
// An NTFS row of an alternate data stream: its name is "NAME:STREAM".
inline constexpr uint32_t kRowStream = 4;
// Bits 3 to 31 of a FAT or exFAT row read from a scanned cluster hold that
// cluster's number, so that the check that a loaded row is still on the
// volume reads that cluster alone instead of scanning the volume again. 0
// for a row a walk found, and for a cluster past what the bits hold.
inline constexpr unsigned kRowSlotClusterShift = 3;
constexpr uint32_t RowSlotClusterBits(uint64_t cluster) {
  return cluster < (uint64_t{1} << (32 - kRowSlotClusterShift)) ? static_cast<uint32_t>(cluster) << kRowSlotClusterShift
                                                                : 0;
}
constexpr uint64_t RowSlotCluster(uint32_t dataWord) { return dataWord >> kRowSlotClusterShift; }

// A folder text longer than this is listed as its first kMaxFolderTextBytes
// bytes. Nothing that long can be saved (the results file keeps 519) or
// restored (destination paths end at 4095 bytes), and a hostile tree nested
// deep enough would otherwise make every row's folder text as long as the
// tree is deep: its square in memory and time.
inline constexpr size_t kMaxFolderTextBytes = 8192;

// `text` cut to at most kMaxFolderTextBytes bytes, at a UTF-8 character
// boundary; the same view when it is short enough.
std::string_view CutFolderText(std::string_view text);

// The shell's type name and icon for a listed name: "*" as a folder, else the
// name from its last '.' (the whole name when it has none). Without a shell
// the type name is empty and the icon 0.
const ShellFileInfo& LookUpShellInfo(ShellInfo* shell, std::string_view name, bool folder);

// Counts the entry, shows it on the progress line and inserts its row at
// rowCount with the display name and icon. Returns the new row's index; the
// caller fills the other cells. typeName, when given, receives the type name
// for column 3, valid until the next entry is listed.
size_t ListFoundEntry(ScanState& state, std::string_view displayName, bool folder,
                      std::string_view* typeName = nullptr);

// "YYYY/MM/DD hh:mm:ss" of a FAT/exFAT timestamp as stored, with ".mmm" when a
// 10-millisecond refinement is given. No validation: a hostile date prints as
// whatever numbers it holds.
std::string FormatDosDateTime(uint16_t dosDate, uint16_t dosTime,
                              std::optional<uint32_t> fineTenMs = std::nullopt);

// True when the filter is empty or occurs in the name with ASCII letters
// upper-cased. The filter is upper-case already (the filter box makes it so).
bool NameMatchesFilter(std::string_view name, std::string_view filter);

}  // namespace vellum::volume
