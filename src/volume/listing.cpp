#include "volume/listing.h"

#include <cinttypes>
#include <cstdio>

#include "platform/codepage.h"
#include "volume/sector_io.h"

namespace vellum::volume {

const ShellFileInfo& LookUpShellInfo(ShellInfo* shell, std::string_view name, bool folder) {
  static const ShellFileInfo kNone;
  if (shell == nullptr) return kNone;
  if (folder) return shell->Lookup("*", true);
  const size_t dot = name.rfind('.');
  return shell->Lookup(dot == std::string_view::npos ? name : name.substr(dot), false);
}

std::string_view CutFolderText(std::string_view text) {
  if (text.size() <= kMaxFolderTextBytes) return text;
  size_t end = kMaxFolderTextBytes;
  // Back to the lead byte of the character the cut falls in (at most three
  // trail bytes; a text that is not UTF-8 is cut where the bytes say).
  for (int back = 0; back < 3 && end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80; ++back) --end;
  return text.substr(0, end);
}

size_t ListFoundEntry(ScanState& state, std::string_view displayName, bool folder,
                      std::string_view* typeName) {
  state.foundCount += 1;
  if (state.rows != nullptr) state.rows->ShowFoundCount(static_cast<uint32_t>(state.foundCount));
  if (state.progress != nullptr) state.progress->SetFileName(displayName);
  const ShellFileInfo& info = LookUpShellInfo(state.shell, displayName, folder);
  const size_t index = static_cast<size_t>(state.rowCount);
  if (state.rows != nullptr) state.rows->InsertRow(index, displayName, info.iconIndex);
  state.rowCount += 1;
  if (typeName != nullptr) *typeName = info.typeName;
  return index;
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
