// The layer's 32-bit module: the disk BIOS's four calls over the units the
// program names, with the BIOS's own limits (the emulation in
// platform/disk_bios). The bytes move through the 16-bit module.
#include <cstring>
#include <memory>
#include <string>

#include "platform/bios_layer_calls.h"
#include "platform/disk_bios.h"

extern "C" {
int q16_open(const char* path, int writable, char* error, uint32_t errorSize);
uint64_t q16_size(int disk);
int q16_transfer(int disk, uint64_t offset, uint8_t* buffer, uint32_t length, int write);
}

namespace {

using vellum::platform::BlockDevice;

// A disk of the 16-bit module as the emulation reads it.
class Disk16 : public BlockDevice {
 public:
  Disk16(int disk, bool writable) : disk_(disk), size_(q16_size(disk)), writable_(writable) {}
  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    if (q16_transfer(disk_, offset, out.data(), static_cast<uint32_t>(out.size()), 0) == 0) return true;
    std::memset(out.data(), 0, out.size());
    return false;
  }
  bool Write(uint64_t offset, std::span<const uint8_t> data) override {
    return writable_ &&
           q16_transfer(disk_, offset, const_cast<uint8_t*>(data.data()), static_cast<uint32_t>(data.size()), 1) == 0;
  }
  uint64_t Size() const override { return size_; }
  uint32_t SectorSize() const override { return 512; }
  bool Writable() const override { return writable_; }

 private:
  int disk_;
  uint64_t size_;
  bool writable_;
};

vellum::platform::EmulatedDiskBios& Bios() {
  static vellum::platform::EmulatedDiskBios bios;
  return bios;
}

void Say(const std::string& text, char* error, uint32_t errorSize) {
  if (!error || errorSize == 0) return;
  const size_t n = std::min<size_t>(text.size(), errorSize - 1);
  std::memcpy(error, text.data(), n);
  error[n] = '\0';
}

}  // namespace

VELLUM_LAYER_EXPORT int qiv_add_unit(const char* name, int writable, char* error, uint32_t errorSize) {
  namespace platform = vellum::platform;
  platform::BiosUnitChoice choice;
  std::string why;
  if (!name || !platform::ParseBiosUnitName(name, choice, why)) {
    Say(why, error, errorSize);
    return platform::kNoUnit;
  }
  const int disk = q16_open(choice.path.c_str(), writable, error, errorSize);
  if (disk < 0) return platform::kNoUnit;
  auto device = std::make_unique<Disk16>(disk, writable != 0);
  int unit = platform::kNoUnit;
  if (choice.diskette) {
    if (choice.heads == 0) platform::GeometryFromDisketteBoot(*device, choice.heads, choice.sectorsPerTrack);
    unit = Bios().AddDisketteUnit(std::move(device), choice.heads, choice.sectorsPerTrack);
  } else {
    if (choice.heads == 0) platform::GeometryFromPartitionTable(*device, choice.heads, choice.sectorsPerTrack);
    const uint8_t hard = Bios().AddUnit(std::move(device), choice.heads, choice.sectorsPerTrack, choice.lba);
    if (hard != 0) unit = hard;
  }
  if (unit == platform::kNoUnit) Say("BIOS のユニットにできません。", error, errorSize);
  return unit;
}

VELLUM_LAYER_EXPORT int i13_lba_check(uint8_t unit) { return Bios().i13_lba_check(unit); }

VELLUM_LAYER_EXPORT int i13_get_drive_parameter(uint8_t unit, uint8_t* parameters16) {
  vellum::platform::BiosGeometry g{};
  const int ok = Bios().i13_get_drive_parameter(unit, g);
  if (parameters16) std::memcpy(parameters16, g.data(), g.size());
  return ok;
}

VELLUM_LAYER_EXPORT int i13x_io_sector(uint32_t bytesPerSector, uint8_t unit, uint8_t* buffer, uint8_t function,
                                       uint32_t sector, uint32_t count) {
  return Bios().i13x_io_sector(bytesPerSector, unit, buffer, function, sector, count);
}

VELLUM_LAYER_EXPORT int i13_io_sector(uint32_t bytesPerSector, uint8_t unit, uint8_t* buffer, uint8_t function,
                                      uint32_t head, uint32_t cylinder, uint32_t sector, uint32_t count) {
  return Bios().i13_io_sector(bytesPerSector, unit, buffer, function, head, cylinder, sector, count);
}
