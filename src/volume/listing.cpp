#include "volume/listing.h"

#include <cinttypes>
#include <cstdio>

#include "platform/codepage.h"
#include "volume/sector_io.h"

namespace vellum::volume {

namespace {

bool PassesSizeAndUseFilters(const ScanState& state, uint64_t size, uint32_t firstCluster) {
  if (size == 0) return state.options.zeroSize;
  if (state.options.inUse) return true;
  // Clusters 0 and 1 fall outside the bitmap and so count as used.
  return !IsExfatClusterUsed(state, firstCluster);
}

}  // namespace

ShellFileInfo LookUpShellInfo(ShellInfo* shell, std::string_view name, bool folder) {
  if (shell == nullptr) return {};
  if (folder) return shell->Lookup("*", true);
  const size_t dot = name.rfind('.');
  return shell->Lookup(dot == std::string_view::npos ? name : name.substr(dot), false);
}

size_t ListFoundEntry(ScanState& state, std::string_view displayName, bool folder,
                      std::string* typeName) {
  state.foundCount += 1;
  if (state.rows != nullptr) state.rows->ShowFoundCount(static_cast<uint32_t>(state.foundCount));
  if (state.progress != nullptr) state.progress->SetFileName(displayName);
  ShellFileInfo info = LookUpShellInfo(state.shell, displayName, folder);
  const size_t index = static_cast<size_t>(state.rowCount);
  if (state.rows != nullptr) state.rows->InsertRow(index, displayName, info.iconIndex);
  state.rowCount += 1;
  if (typeName != nullptr) *typeName = std::move(info.typeName);
  return index;
}

void AddRow(ScanState& state, std::string_view name, std::string_view folder, uint64_t size,
            uint16_t dosDate, uint16_t dosTime, uint32_t firstCluster, uint8_t attributes,
            uint32_t fatChainFlag) {
  if (firstCluster > state.lastCluster) return;
  // An entry read from a scanned cluster claiming more than the volume holds
  // is garbage taken for an entry (restoring it would write gigabytes).
  if (state.clusterScan != 0 && size > state.dataAreaBytes) return;
  const bool isFolder = (attributes & kAttrDirectory) != 0;
  if (!isFolder && !PassesSizeAndUseFilters(state, size, firstCluster)) return;
  if (!NameMatchesFilter(name, state.options.filter)) return;

  std::string typeName;
  const size_t row = ListFoundEntry(state, name, isFolder, &typeName);
  RowSink* rows = state.rows;
  if (rows == nullptr) return;
  rows->SetCell(row, 1, folder);
  rows->SetDataWord(row, (isFolder ? kRowFolder : 0) | (fatChainFlag != 0 ? kRowFatChain : 0));
  char number[32];
  std::snprintf(number, sizeof number, "%" PRIu64, size);
  rows->SetCell(row, 2, number);
  rows->SetCell(row, 3, typeName);
  rows->SetCell(row, 4, FormatDosDateTime(dosDate, dosTime));
  std::snprintf(number, sizeof number, "%8" PRIu32, firstCluster);
  rows->SetCell(row, 5, number);
}

std::string FormatDosDateTime(uint16_t dosDate, uint16_t dosTime,
                              std::optional<uint32_t> fineTenMs) {
  const int year = (dosDate >> 9) + 1980;
  const int month = (dosDate >> 5) & 15;
  const int day = dosDate & 31;
  const int hour = dosTime >> 11;
  const int minute = (dosTime >> 5) & 63;
  int second = (dosTime & 31) * 2;
  char text[48];
  if (fineTenMs) {
    second += static_cast<int>(*fineTenMs / 100);
    const int milliseconds = static_cast<int>(*fineTenMs % 100) * 10;
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d.%03d", year, month, day, hour,
                  minute, second, milliseconds);
  } else {
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, second);
  }
  return text;
}

bool NameMatchesFilter(std::string_view name, std::string_view filter) {
  if (filter.empty()) return true;
  // Upper-casing touches ASCII bytes only, and in UTF-8 neither a lead nor a
  // trail byte is ASCII, so a match can only begin where a character begins.
  return platform::UpperAscii(name).find(filter) != std::string::npos;
}

}  // namespace vellum::volume
