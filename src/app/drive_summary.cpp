#include "app/drive_summary.h"

#include <cstdio>

#include "app/source_check.h"
#include "app/volume_label.h"
#include "volume/boot_sector.h"
#include "volume/source.h"
#include "app/volume_tables.h"

namespace vellum::app {

std::string SizeText(uint64_t bytes, unsigned base) {
  const char* units[] = {"B", "KB", "MB", "GB", "TB", "PB"};
  double value = static_cast<double>(bytes);
  size_t unit = 0;
  while (value >= base && unit + 1 < std::size(units)) {
    value /= base;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", value, units[unit]);
  return text;
}

DriveFacts DescribeDrive(const volume::DriveEntry& entry) {
  DriveFacts facts;
  volume::OpenedSource opened =
      volume::OpenSource(entry.sourcePath, entry.partitionNumber, platform::OpenAccess::ReadOnly);
  if (!opened.device) return facts;
  facts.opened = true;
  facts.bytes = opened.device->Size();
  volume::ScanState state;
  state.volumeHandle = std::move(opened.device);
  if (!volume::DetectFsKind(state)) return facts;
  facts.fileSystem = volume::FsKindName(state.fsKind);
  // Only what the label needs is read: the boot sector, then the root (FAT,
  // exFAT) or the table's first records (NTFS).
  const bool ready = state.fsKind == volume::kNtfs ? LoadVolumeTables(state).empty()
                                                   : volume::ReadBootGeometry(state, 0);
  if (ready) facts.label = VolumeLabel(state);
  return facts;
}

std::string DriveSummary(const DriveFacts& facts) {
  if (!facts.opened) return {};
  std::string text = facts.fileSystem.empty() ? SizeText(facts.bytes) : facts.fileSystem + " " + SizeText(facts.bytes);
  if (!facts.label.empty()) text += " " + facts.label;
  return text;
}

void AddDriveSummaries(volume::DriveTable& table) {
  for (volume::DriveEntry& e : table.entries) {
    const std::string summary = DriveSummary(DescribeDrive(e));
    if (!summary.empty()) e.displayName += " — " + summary;
  }
}

int AppendImageEntries(volume::DriveTable& table, const std::string& path, std::string& error) {
  error = SourceRefusal(path);
  if (!error.empty()) return -1;
  const size_t before = table.entries.size();
  if (!volume::AppendImage(table, path, error)) {
    // A partition table without partitions still appends nothing.
    table.entries.resize(before);
    return -1;
  }
  for (size_t i = before; i < table.entries.size(); ++i) {
    volume::DriveEntry& e = table.entries[i];
    e.index = static_cast<int32_t>(i);
    const std::string summary = DriveSummary(DescribeDrive(e));
    if (!summary.empty()) e.displayName += " — " + summary;
  }
  return static_cast<int>(before);
}

}  // namespace vellum::app
