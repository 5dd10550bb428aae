// The legacy path's view of the disks: every hard-disk unit the disk BIOS
// knows, its FAT partitions (the primary entries of its master boot record
// and the logical ones of its extended chain), the units that are not hard
// disks, and the order in which partitions are offered to fixed drives,
// which are paired with them by their volume serial numbers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/disk_bios.h"
#include "volume/drives.h"
#include "volume/le.h"

namespace vellum::volume {

inline constexpr size_t kMaxBiosPartitions = 26;
inline constexpr uint8_t kNoBiosUnit = 255;

struct BiosPartition {
  uint8_t type = 0;
  uint8_t bootIndicator = 0;
  uint32_t firstSector = 0;  // absolute on the unit
  uint8_t unit = 0;
  bool logical = false;      // found in an extended partition chain
  uint32_t serial = 0;       // from its boot sector
  bool paired = false;       // given to a fixed drive already
};

struct BiosDiskTables {
  std::vector<BiosPartition> partitions;
  std::vector<uint8_t> removableUnits;  // units that do not look like hard disks
  std::vector<uint8_t> lbaUnits;        // hard-disk units that take extended transfers
  std::vector<uint8_t> driveOrder;      // partition indices, in the order fixed drives take them
};

// One entry of a partition table sector (16 bytes at 446, 462, 478, 494).
struct TableEntry {
  uint8_t boot = 0, type = 0;
  uint32_t firstSector = 0;  // relative to the table's sector
  uint32_t sectorCount = 0;
};
// Partition types the legacy path searches: FAT12, FAT16 and FAT32.
bool IsBiosFatType(uint8_t type);
// The first of the four entries of `sector` whose type is a FAT one; false
// when none is. The table's signature is not asked for.
bool FirstFatEntry(ByteView sector, TableEntry& entry);

// Fills `tables` from the units 0x80 upwards.
void EnumerateBiosDisks(platform::DiskBios& bios, BiosDiskTables& tables);

// The partition index a fixed drive of volume serial `serial` is paired
// with (and marks it paired), or kNoBiosUnit when none is left that matches.
uint8_t PairFixedDrive(BiosDiskTables& tables, uint32_t serial);

// The diskette unit of a floppy drive's root text: 0 for A: (fd0 on Linux),
// 1 for B: (fd1); -1 for any other drive.
int DisketteUnitOf(const std::string& rootText);

// The legacy path's drive units: a floppy drive takes its diskette unit, any
// other removable drive the next unit of the removable-unit list; a fixed
// drive is paired by the serial number of its volume (`serialOf`) with a BIOS
// partition, and one that stays unpaired is listed as removable with the next
// removable unit (255 when none is left).
void PairLegacyDrives(DriveTable& drives, BiosDiskTables& tables,
                      const std::function<uint32_t(const DriveEntry&)>& serialOf);

}  // namespace vellum::volume
