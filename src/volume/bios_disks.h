// The legacy path's view of the disks: every hard-disk unit the disk BIOS
// knows, its FAT partitions (the primary entries of its master boot record
// and the logical ones of its extended chain), the units that are not hard
// disks, and the order in which partitions are offered to fixed drives,
// which are paired with them by their volume serial numbers.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/disk_bios.h"

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

// Fills `tables` from the units 0x80 upwards.
void EnumerateBiosDisks(platform::DiskBios& bios, BiosDiskTables& tables);

// The partition index a fixed drive of volume serial `serial` is paired
// with (and marks it paired), or kNoBiosUnit when none is left that matches.
uint8_t PairFixedDrive(BiosDiskTables& tables, uint32_t serial);

}  // namespace vellum::volume
