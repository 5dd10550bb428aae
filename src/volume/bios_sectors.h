// Sector transfers of the legacy path, through the disk BIOS of the selected
// unit: extended transfers when the unit takes them, else cylinder/head/sector
// transfers that never cross a track end. Sector numbers count from the start
// of the unit (callers add the partition start). Like the BIOS calls of old,
// they report nothing: the buffer holds what the BIOS returned.
#pragma once

#include <cstdint>
#include <vector>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::volume {

// The most sectors one call moves: the sectors of a track, or fewer when a
// track is 64 KiB or more.
uint32_t MaxPerTransfer(uint32_t bytesPerSector, uint32_t sectorsPerTrack);

int BiosReadSectors(ScanState& state, MutableBytes buffer, uint64_t sector, uint64_t count);
int BiosWriteSectors(ScanState& state, ByteView buffer, uint64_t sector, uint64_t count);

// One partition of a BIOS unit as the open volume's device: every read and
// write is a legacy transfer at the partition's start plus the sector asked
// for, so the walks above it read and write through the BIOS exactly as
// they would through a raw volume. Like the transfers, it reports no failure.
class BiosPartitionDevice : public platform::BlockDevice {
 public:
  // `legacy` gives the disk BIOS, the unit, its geometry, whether it takes
  // extended transfers and the sector size; copied, so the device stands alone.
  BiosPartitionDevice(const ScanState& legacy, uint64_t startSector, uint64_t sectors, bool writable);
  bool Read(uint64_t offset, std::span<uint8_t> out) override;
  bool Write(uint64_t offset, std::span<const uint8_t> data) override;
  uint64_t Size() const override { return sectors_ * bytesPerSector_; }
  uint32_t SectorSize() const override { return bytesPerSector_; }
  bool Writable() const override { return writable_; }

 private:
  // The sectors [first, first + count) of the partition into `bytes`.
  void ReadRange(uint64_t first, uint64_t count, std::vector<uint8_t>& bytes);

  ScanState unit_;
  uint64_t start_;
  uint64_t sectors_;
  uint32_t bytesPerSector_;
  bool writable_;
};

}  // namespace vellum::volume
