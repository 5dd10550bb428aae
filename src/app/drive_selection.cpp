#include "app/drive_selection.h"

namespace vellum::app {

volume::InUseOption InUseOptionOnSelection(const volume::ScanState& state, const volume::DriveTable& drives,
                                           int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= drives.entries.size()) return volume::InUseOption::Keep;
  return volume::OnDriveSelected(state, drives.entries[static_cast<size_t>(index)]);
}

}  // namespace vellum::app
