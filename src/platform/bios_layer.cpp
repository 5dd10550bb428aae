#include "platform/bios_layer.h"

#include "platform/bios_layer_calls.h"
#include "platform/file_system.h"

namespace vellum::platform {

namespace {

template <typename Call>
Call As(void* entry) {
  return reinterpret_cast<Call>(entry);
}

inline constexpr int kNoSuchFunction = 0x01;

}  // namespace

BoundDiskBios::BoundDiskBios(std::unique_ptr<LoadableModule> module)
    : module_(std::move(module)),
      lbaCheck_(module_->Symbol("i13_lba_check")),
      driveParameter_(module_->Symbol("i13_get_drive_parameter")),
      extendedIo_(module_->Symbol("i13x_io_sector")),
      chsIo_(module_->Symbol("i13_io_sector")),
      addUnit_(module_->Symbol(bios_layer::kAddUnitName)) {}

int BoundDiskBios::AddUnit(const std::string& name, bool writable, std::string& error) {
  if (!addUnit_) return error = "BIOS のユニットを追加できません。", kNoUnit;
  char why[512] = {};
  const int unit = As<bios_layer::AddUnitCall>(addUnit_)(name.c_str(), writable ? 1 : 0, why, sizeof why);
  if (unit < 0 || unit > 0xFF) {
    error = why;
    return kNoUnit;
  }
  return unit;
}

int BoundDiskBios::i13_lba_check(uint8_t unit) {
  return lbaCheck_ ? As<bios_layer::LbaCheckCall>(lbaCheck_)(unit) : 0;
}

int BoundDiskBios::i13_get_drive_parameter(uint8_t unit, BiosGeometry& parameters) {
  return driveParameter_ ? As<bios_layer::DriveParameterCall>(driveParameter_)(unit, parameters.data()) : 0;
}

int BoundDiskBios::i13x_io_sector(uint32_t bytesPerSector, uint8_t unit, uint8_t* buffer, uint8_t function,
                                  uint32_t sector, uint32_t count) {
  if (!extendedIo_) return kNoSuchFunction;
  return As<bios_layer::ExtendedIoCall>(extendedIo_)(bytesPerSector, unit, buffer, function, sector, count);
}

int BoundDiskBios::i13_io_sector(uint32_t bytesPerSector, uint8_t unit, uint8_t* buffer, uint8_t function,
                                 uint32_t head, uint32_t cylinder, uint32_t sector, uint32_t count) {
  if (!chsIo_) return kNoSuchFunction;
  return As<bios_layer::ChsIoCall>(chsIo_)(bytesPerSector, unit, buffer, function, head, cylinder, sector, count);
}

BiosLayerState BindBiosLayer(const std::string& folder, std::unique_ptr<BoundDiskBios>& bios) {
  bios.reset();
  if (!IsRegularFile(folder + "/" + bios_layer::kModule16)) return BiosLayerState::kNo16;
  const std::string path32 = folder + "/" + bios_layer::kModule32;
  if (!IsRegularFile(path32)) return BiosLayerState::kNo32;
  std::string error;
  std::unique_ptr<LoadableModule> module = LoadModule(path32, error);
  if (!module) return BiosLayerState::kNotLoadable;
  bios = std::make_unique<BoundDiskBios>(std::move(module));
  return BiosLayerState::kBound;
}

}  // namespace vellum::platform
