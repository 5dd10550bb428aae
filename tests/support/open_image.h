// Opens a committed test image as a command would, from the layers below the
// command line: the source, its file system and its tables. `wrap`, when
// given, puts a device of the test's between the image and everything that
// reads it, before the boot sector is read. A test that writes (complete
// deletion on a copy) asks for write access.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/block_device.h"
#include "volume/boot_sector.h"
#include "volume/scan_state.h"
#include "volume/source.h"
#include "app/volume_tables.h"

namespace vellum::testing {

using DeviceWrapper = std::function<std::unique_ptr<platform::BlockDevice>(std::unique_ptr<platform::BlockDevice>)>;

// Empty on success, else why the image could not be opened.
inline std::string OpenImage(const std::string& path, volume::ScanState& state, const DeviceWrapper& wrap = {},
                             platform::OpenAccess access = platform::OpenAccess::ReadOnly) {
  volume::OpenedSource opened = volume::OpenSource(path, 0, access);
  if (!opened.device) return opened.error;
  state.volumeHandle = wrap ? wrap(std::move(opened.device)) : std::move(opened.device);
  state.rootPath = opened.rootText;
  const uint32_t sectorSize = state.volumeHandle->SectorSize();
  state.bytesPerSector = sectorSize > 0 && sectorSize <= 32768 ? static_cast<uint16_t>(sectorSize) : 512;
  if (!volume::DetectFsKind(state)) return "no file system recognised in " + path;
  return app::LoadVolumeTables(state);
}

}  // namespace vellum::testing
