// The legacy path: the program reads and writes volumes through a disk BIOS
// instead of the system's raw volumes. Asked for at start-up, it binds the
// disk BIOS layer (saying which part is missing, and then the program ends),
// takes the disks the user names as its units, lists their partitions and
// pairs the drive table's drives with them.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "volume/seams.h"
#include "platform/bios_layer.h"
#include "volume/bios_disks.h"
#include "volume/drives.h"
#include "volume/scan_state.h"

namespace vellum::app {

inline constexpr std::string_view kNoLayer16Message = "'Qiv16.dll'が見つかりません。";
inline constexpr std::string_view kNoLayer32Message = "'Qiv32.dll'が見つかりません。";
inline constexpr std::string_view kLayerNotLoadableMessage = "'Qiv16.dll'または'Qiv32.dll'がロードできません。";

struct LegacyPath {
  std::unique_ptr<platform::BoundDiskBios> bios;
  volume::BiosDiskTables tables;
};

// Binds the layer from `folder` (the program's own). False after its message
// (OK, no icon) when a part is missing or cannot be loaded.
bool BindLegacyPath(LegacyPath& path, const std::string& folder, Messages& messages);

// Makes each named disk ("FILE[:HEADSxSECTORS][:chs|:fd]") the next BIOS unit.
// False with the reason, naming the disk, at the first that cannot be one.
bool AddBiosDisks(LegacyPath& path, const std::vector<std::string>& names, bool writable, std::string& error);

// Lists the units' partitions, pairs `drives` with them, and sets the scan
// state to read through the BIOS from now on.
void UseLegacyPath(LegacyPath& path, volume::DriveTable& drives, volume::ScanState& state);

}  // namespace vellum::app
