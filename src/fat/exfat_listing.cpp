#include "fat/exfat_listing.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "ntfs/recycle_bin.h"
#include "volume/listing.h"
#include "volume/orphan_rule.h"
#include "volume/sector_io.h"

namespace vellum::fat {

using volume::IsExfatClusterUsed;
using volume::kRowFatChain;
using volume::kRowFolder;
using volume::ListFoundEntry;
using volume::NameMatchesFilter;

namespace {

// The time to the second: the increment's whole second counts, so an odd
// second is shown as recorded.
std::string ListedTime(const FoundEntry& e) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", (e.dosDate >> 9) + 1980, (e.dosDate >> 5) & 15,
                e.dosDate & 31, e.dosTime >> 11, (e.dosTime >> 5) & 63, (e.dosTime & 31) * 2 + e.tenMs / 100);
  return text;
}

bool PassesSizeAndUseFilters(const ScanState& state, uint64_t size, uint32_t firstCluster) {
  if (size == 0) return state.options.zeroSize;
  if (state.options.inUse) return true;
  // Clusters 0 and 1 fall outside the bitmap and so count as used.
  return !IsExfatClusterUsed(state, firstCluster);
}

}  // namespace

bool IsListableOrphan(const ScanState& state, const FoundEntry& e) {
  volume::OrphanFacts facts;
  facts.name = e.name;
  facts.time = volume::DosCalendarTime(e.dosDate, e.dosTime, e.tenMs);
  facts.firstCluster = e.firstCluster;
  facts.size = e.size;
  return volume::CheckOrphan(state, facts) == volume::OrphanFault::kNone;
}

bool AddRow(ScanState& state, const FoundEntry& entry, std::string_view folderText) {
  const std::string_view name = entry.name;
  const uint64_t size = entry.size;
  const uint32_t firstCluster = static_cast<uint32_t>(entry.firstCluster);
  if (entry.firstCluster > state.lastCluster) return false;
  // An entry read from a scanned cluster may be file bytes taken for one
  // (claiming gigabytes, dated hour 25): the orphan rule of every scan.
  if (state.clusterScan != 0 && !IsListableOrphan(state, entry)) return false;
  const bool isFolder = entry.isFolder;
  if (!isFolder && !PassesSizeAndUseFilters(state, size, firstCluster)) return false;
  if (!NameMatchesFilter(name, state.options.filter)) return false;

  std::string_view typeName;
  const size_t row = ListFoundEntry(state, name, isFolder, &typeName);
  RowSink* rows = state.rows;
  if (rows == nullptr) return true;
  rows->SetCell(row, 1, folderText);
  rows->SetDataWord(row, (isFolder ? kRowFolder : 0) | (entry.fatChain ? kRowFatChain : 0) |
                             volume::RowSlotClusterBits(entry.slotCluster));
  char number[32];
  std::snprintf(number, sizeof number, "%" PRIu64, size);
  rows->SetCell(row, 2, number);
  if (!isFolder && ntfs::IsBinIndexRow(name, entry.folder)) typeName = ntfs::kBinIndexTypeName;
  rows->SetCell(row, 3, typeName);
  rows->SetCell(row, 4, ListedTime(entry));
  std::snprintf(number, sizeof number, "%8" PRIu32, firstCluster);
  rows->SetCell(row, 5, number);
  return true;
}

}  // namespace vellum::fat
