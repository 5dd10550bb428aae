#include "app/legacy_path.h"

#include "app/open_volume.h"

namespace vellum::app {

bool BindLegacyPath(LegacyPath& path, const std::string& folder, Messages& messages) {
  std::string_view message;
  switch (platform::BindBiosLayer(folder, path.bios)) {
    case platform::BiosLayerState::kBound: return true;
    case platform::BiosLayerState::kNo16: message = kNoLayer16Message; break;
    case platform::BiosLayerState::kNo32: message = kNoLayer32Message; break;
    case platform::BiosLayerState::kNotLoadable: message = kLayerNotLoadableMessage; break;
  }
  messages.Show(message, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
  return false;
}

bool AddBiosDisks(LegacyPath& path, const std::vector<std::string>& names, bool writable, std::string& error) {
  if (!path.bios) return error = "BIOS ディスクの層がありません。", false;
  for (const std::string& name : names) {
    std::string why;
    if (path.bios->AddUnit(name, writable, why) == platform::kNoUnit)
      return error = name + " を BIOS ディスクにできません: " + why, false;
  }
  return true;
}

void UseLegacyPath(LegacyPath& path, volume::DriveTable& drives, volume::ScanState& state) {
  path.tables = {};
  volume::EnumerateBiosDisks(*path.bios, path.tables);
  volume::PairLegacyDrives(drives, path.tables, DriveVolumeSerial);
  state.isNt = 0;
  state.bios = path.bios.get();
  state.biosTables = &path.tables;
}

}  // namespace vellum::app
