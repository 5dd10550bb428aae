#include "app/drive_table_host.h"

#include "app/write_guard.h"
#include "platform/source_set.h"

namespace vellum::app {

const volume::DriveEntry* DriveTableResultsHost::Entry(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= drives_.entries.size()) return nullptr;
  return &drives_.entries[static_cast<size_t>(index)];
}

platform::SourceRelation DriveTableResultsHost::RelationToSource(const std::string& path) {
  const volume::DriveEntry* drive = Entry(state_.driveIndex);
  if (!drive) return platform::SourceRelation::kUnrelated;
  return platform::SourceSet(SourcePartsOf(*drive, &state_)).Relation(path);
}

std::string DriveTableResultsHost::SourceName() {
  const volume::DriveEntry* drive = Entry(state_.driveIndex);
  return drive ? drive->sourcePath : std::string();
}

std::string DriveTableResultsHost::DriveRootText(int32_t index) {
  const volume::DriveEntry* drive = Entry(index);
  return drive ? drive->rootText : std::string();
}

int32_t DriveTableResultsHost::FindDrive(std::string_view rootText) {
  for (const volume::DriveEntry& e : drives_.entries)
    if (e.rootText == rootText) return e.index;
  return -1;
}

}  // namespace vellum::app
