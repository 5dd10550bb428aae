// Binding the disk BIOS layer: its two modules looked for in the program's
// folder, the 32-bit one loaded (which binds the 16-bit one), and its entry
// points taken as the program's disk BIOS.
#pragma once

#include <memory>
#include <string>

#include "platform/disk_bios.h"
#include "platform/loadable_module.h"

namespace vellum::platform {

enum class BiosLayerState {
  kBound,
  kNo16,        // the 16-bit module is not in the folder
  kNo32,        // the 32-bit module is not in the folder
  kNotLoadable  // the 32-bit module (or the 16-bit one it needs) cannot be loaded
};

// The layer's calls, bound from its 32-bit module. An entry point the module
// lacks answers as a BIOS without that function would.
class BoundDiskBios : public DiskBios {
 public:
  explicit BoundDiskBios(std::unique_ptr<LoadableModule> module);
  // Names the next unit ("FILE[:HEADSxSECTORS][:chs|:fd]"): its number, or
  // kNoUnit with the layer's reason in `error`.
  int AddUnit(const std::string& name, bool writable, std::string& error);

  int i13_lba_check(uint8_t unit) override;
  int i13_get_drive_parameter(uint8_t unit, BiosGeometry& parameters) override;
  int i13x_io_sector(uint32_t bytesPerSector, uint8_t unit, uint8_t* buffer, uint8_t function, uint32_t sector,
                     uint32_t count) override;
  int i13_io_sector(uint32_t bytesPerSector, uint8_t unit, uint8_t* buffer, uint8_t function, uint32_t head,
                    uint32_t cylinder, uint32_t sector, uint32_t count) override;

 private:
  std::unique_ptr<LoadableModule> module_;
  void* lbaCheck_;
  void* driveParameter_;
  void* extendedIo_;
  void* chsIo_;
  void* addUnit_;
};

// Looks for the 16-bit module, then the 32-bit one, in `folder`, and loads
// the 32-bit one. `bios` is set only when the state is kBound.
BiosLayerState BindBiosLayer(const std::string& folder, std::unique_ptr<BoundDiskBios>& bios);

}  // namespace vellum::platform
