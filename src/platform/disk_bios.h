// The disk BIOS the legacy path reads and writes through: four calls, as the
// thunk library of an old system offered them (an LBA check, the drive
// parameters, extended transfers and cylinder/head/sector transfers). No
// system gives a program the BIOS any more, so the calls are answered by an
// emulation of our own over whole-disk images or devices the user names,
// each one a BIOS unit from 0x80 upwards (a diskette drive 0x00 or 0x01),
// with the real BIOS limits.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/block_device.h"

namespace vellum::platform {

// BIOS function numbers of the transfers.
inline constexpr uint8_t kBiosChsRead = 0x02;
inline constexpr uint8_t kBiosChsWrite = 0x03;
inline constexpr uint8_t kBiosExtendedRead = 0x42;
inline constexpr uint8_t kBiosExtendedWrite = 0x43;

// The BIOS status codes the emulation returns (0 is success).
inline constexpr int kBiosOk = 0x00;
inline constexpr int kBiosBadCommand = 0x01;
inline constexpr int kBiosSectorNotFound = 0x04;
inline constexpr int kBiosWriteProtected = 0x03;
inline constexpr int kBiosBadUnit = 0x07;  // no such drive
inline constexpr int kBiosDmaBoundary = 0x09;
inline constexpr int kBiosReadError = 0x10;
inline constexpr int kBiosWriteFault = 0xCC;

// At most this many sectors move in one call, as the BIOS's own limit.
inline constexpr uint32_t kBiosMaxSectorsPerCall = 127;

// The drive parameters: byte 2 is the highest head number, byte 6 the number
// of sectors per track.
using BiosGeometry = std::array<uint8_t, 16>;
inline uint8_t HighestHead(const BiosGeometry& g) { return g[2]; }
inline uint8_t SectorsPerTrack(const BiosGeometry& g) { return g[6]; }

class DiskBios {
 public:
  virtual ~DiskBios() = default;
  // Nonzero when the unit takes extended (LBA) transfers.
  virtual int i13_lba_check(uint8_t unit) = 0;
  // 1 and the parameters filled for a unit that exists; 0 otherwise.
  virtual int i13_get_drive_parameter(uint8_t unit, BiosGeometry& parameters) = 0;
  // function 0x42 reads, 0x43 writes `count` sectors at the 32-bit LBA `sector`.
  virtual int i13x_io_sector(uint32_t bytesPerSector, uint8_t unit, uint8_t* buffer, uint8_t function,
                             uint32_t sector, uint32_t count) = 0;
  // function 2 reads, 3 writes `count` sectors from the 1-based `sector` of
  // (cylinder, head).
  virtual int i13_io_sector(uint32_t bytesPerSector, uint8_t unit, uint8_t* buffer, uint8_t function,
                            uint32_t head, uint32_t cylinder, uint32_t sector, uint32_t count) = 0;
};

// How a person names a unit: "FILE", "FILE:HEADSxSECTORS", "FILE:chs" or
// "FILE:HEADSxSECTORS:chs"; "FILE:fd" or "FILE:HEADSxSECTORS:fd" for a
// diskette drive. Zero heads and sectors: taken from the disk.
struct BiosUnitChoice {
  std::string path;
  uint32_t heads = 0;
  uint32_t sectorsPerTrack = 0;
  bool lba = true;
  bool diskette = false;  // units 0x00 and 0x01, cylinder/head/sector transfers only
};
bool ParseBiosUnitName(std::string_view text, BiosUnitChoice& unit, std::string& error);

// The geometry a disk's own partition table gives, where the CHS end fields
// of its entries agree with one (heads, sectors per track); else 255 and 63,
// what BIOSes have translated large disks to since the LBA era.
void GeometryFromPartitionTable(BlockDevice& disk, uint32_t& heads, uint32_t& sectorsPerTrack);
// A diskette's geometry from its boot sector's heads and sectors per track;
// else that of a 1.44 MB diskette, 2 and 18.
void GeometryFromDisketteBoot(BlockDevice& disk, uint32_t& heads, uint32_t& sectorsPerTrack);

inline constexpr uint8_t kFirstDiskette = 0x00;
inline constexpr int kNoUnit = -1;

// The emulated BIOS: units 0x80 upwards in the order they were added.
class EmulatedDiskBios : public DiskBios {
 public:
  // The new unit's number, or 0 when the geometry cannot be a BIOS one (no
  // heads, more than 256, no sectors or more than 63 per track) or eight
  // units exist already.
  uint8_t AddUnit(std::unique_ptr<BlockDevice> disk, uint32_t heads, uint32_t sectorsPerTrack, bool lba);
  // A diskette drive: 0x00, then 0x01; kNoUnit when the geometry cannot be
  // one or both exist already. It takes no extended transfers.
  int AddDisketteUnit(std::unique_ptr<BlockDevice> disk, uint32_t heads, uint32_t sectorsPerTrack);
  size_t UnitCount() const { return units_.size(); }
  BlockDevice* Disk(uint8_t unit);

  int i13_lba_check(uint8_t unit) override;
  int i13_get_drive_parameter(uint8_t unit, BiosGeometry& parameters) override;
  int i13x_io_sector(uint32_t bytesPerSector, uint8_t unit, uint8_t* buffer, uint8_t function, uint32_t sector,
                     uint32_t count) override;
  int i13_io_sector(uint32_t bytesPerSector, uint8_t unit, uint8_t* buffer, uint8_t function, uint32_t head,
                    uint32_t cylinder, uint32_t sector, uint32_t count) override;

 private:
  struct Unit {
    std::unique_ptr<BlockDevice> disk;
    uint32_t heads = 0;
    uint32_t sectorsPerTrack = 0;
    bool lba = true;
  };
  Unit* Find(uint8_t unit);
  int Transfer(Unit& u, uint32_t bytesPerSector, uint8_t* buffer, bool write, uint64_t lba, uint32_t count);

  std::vector<Unit> units_;
  std::vector<Unit> diskettes_;
};

}  // namespace vellum::platform
