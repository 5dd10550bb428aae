#include "volume/bios_disks.h"

#include <algorithm>
#include <array>

#include "volume/bios_sectors.h"
#include "volume/boot_sector.h"
#include "volume/le.h"
#include "volume/partition_layout.h"

namespace vellum::volume {

namespace {

inline constexpr uint8_t kFirstHardDisk = 0x80;
inline constexpr uint8_t kPastLastHardDisk = 0x88;
inline constexpr uint8_t kHardDiskSectorsPerTrack = 63;
namespace L = partition_layout;

bool IsExtendedType(uint8_t type) { return type == 0x05 || type == 0x0F; }

// A scan state that reads one unit through the BIOS, 512 bytes a sector.
ScanState UnitReader(platform::DiskBios& bios, uint8_t unit) {
  ScanState s;
  s.isNt = 0;
  s.bios = &bios;
  s.biosUnit = unit;
  s.bytesPerSector = 512;
  s.lbaSupported = bios.i13_lba_check(unit);
  bios.i13_get_drive_parameter(unit, s.biosGeometry);
  return s;
}

// A partition table sector; empty when it lacks the 55 AA signature.
std::array<uint8_t, 512> ReadTable(ScanState& s, uint64_t sector, bool& valid) {
  std::array<uint8_t, 512> table{};
  BiosReadSectors(s, table, sector, 1);
  valid = Le(ByteView(table), L::kBootSignature) == L::kBootSignatureValue;
  return table;
}

TableEntry EntryAt(ByteView table, size_t i) {
  const uint64_t at = L::kMbrEntries + L::kMbrEntryBytes * i;
  return {Le(table, at, L::kEntryBootFlag), Le(table, at, L::kEntryType), Le(table, at, L::kEntryFirstSector),
          Le(table, at, L::kEntrySectorCount)};
}

void Record(BiosDiskTables& t, const TableEntry& e, uint64_t firstSector, uint8_t unit, bool logical) {
  if (t.partitions.size() >= kMaxBiosPartitions || firstSector > UINT32_MAX) return;
  t.partitions.push_back({e.type, e.boot, static_cast<uint32_t>(firstSector), unit, logical, 0, false});
}

// The extended chain: each table's first entry is a partition relative to
// that table, its second the next table relative to the chain's start. A
// chain that loops or runs long stops at the partition limit or the step limit.
void WalkExtendedChain(ScanState& s, BiosDiskTables& t, uint32_t extendedStart, uint8_t unit) {
  uint64_t at = extendedStart;
  for (size_t step = 0; step < 256 && t.partitions.size() < kMaxBiosPartitions; ++step) {
    bool valid = false;
    const auto table = ReadTable(s, at, valid);
    if (!valid) return;
    const TableEntry first = EntryAt(table, 0);
    if (IsBiosFatType(first.type)) Record(t, first, at + first.firstSector, unit, true);
    const TableEntry next = EntryAt(table, 1);
    if (!IsExtendedType(next.type) || next.firstSector == 0) return;
    at = static_cast<uint64_t>(extendedStart) + next.firstSector;
  }
}

void WalkHardDisk(platform::DiskBios& bios, BiosDiskTables& t, uint8_t unit) {
  ScanState s = UnitReader(bios, unit);
  if (s.lbaSupported) t.lbaUnits.push_back(unit);
  bool valid = false;
  const auto mbr = ReadTable(s, 0, valid);
  if (!valid) return;
  for (size_t i = 0; i < 4 && t.partitions.size() < kMaxBiosPartitions; ++i) {
    const TableEntry e = EntryAt(mbr, i);
    if (IsBiosFatType(e.type)) Record(t, e, e.firstSector, unit, false);
    else if (IsExtendedType(e.type)) WalkExtendedChain(s, t, e.firstSector, unit);
  }
}

void ReadSerials(platform::DiskBios& bios, BiosDiskTables& t) {
  for (BiosPartition& p : t.partitions) {
    ScanState s = UnitReader(bios, p.unit);
    s.fsKind = PartitionTypeToFsKind(p.type);
    std::array<uint8_t, 512> boot{};
    BiosReadSectors(s, boot, p.firstSector, 1);
    if (ParseBootGeometry(s, boot, p.firstSector)) p.serial = s.volumeSerial;
  }
}

// Each unit's first primary partition (the active one if it has one), then
// the logical partitions as found, then whatever is left.
void BuildDriveOrder(BiosDiskTables& t) {
  t.driveOrder.clear();
  auto taken = [&t](size_t i) {
    return std::find(t.driveOrder.begin(), t.driveOrder.end(), static_cast<uint8_t>(i)) != t.driveOrder.end();
  };
  std::vector<uint8_t> units;
  for (const BiosPartition& p : t.partitions)
    if (std::find(units.begin(), units.end(), p.unit) == units.end()) units.push_back(p.unit);
  for (uint8_t unit : units) {
    size_t chosen = t.partitions.size();
    for (size_t i = 0; i < t.partitions.size(); ++i) {
      const BiosPartition& p = t.partitions[i];
      if (p.unit != unit || p.logical) continue;
      if (chosen == t.partitions.size()) chosen = i;
      if (p.bootIndicator == 0x80) {
        chosen = i;
        break;
      }
    }
    if (chosen < t.partitions.size()) t.driveOrder.push_back(static_cast<uint8_t>(chosen));
  }
  for (size_t i = 0; i < t.partitions.size(); ++i)
    if (t.partitions[i].logical && !taken(i)) t.driveOrder.push_back(static_cast<uint8_t>(i));
  for (size_t i = 0; i < t.partitions.size(); ++i)
    if (!taken(i)) t.driveOrder.push_back(static_cast<uint8_t>(i));
}

}  // namespace

bool IsBiosFatType(uint8_t type) {
  return type == 0x01 || type == 0x04 || type == 0x06 || type == 0x0B || type == 0x0C || type == 0x0E;
}

bool FirstFatEntry(ByteView sector, TableEntry& entry) {
  for (size_t i = 0; i < 4; ++i) {
    entry = EntryAt(sector, i);
    if (IsBiosFatType(entry.type)) return true;
  }
  return false;
}

void EnumerateBiosDisks(platform::DiskBios& bios, BiosDiskTables& tables) {
  tables = {};
  platform::BiosGeometry geometry{};
  for (unsigned unit = kFirstHardDisk; unit < kPastLastHardDisk && tables.partitions.size() < kMaxBiosPartitions &&
                                       bios.i13_get_drive_parameter(static_cast<uint8_t>(unit), geometry) == 1;
       ++unit) {
    if (platform::SectorsPerTrack(geometry) == kHardDiskSectorsPerTrack)
      WalkHardDisk(bios, tables, static_cast<uint8_t>(unit));
    else
      tables.removableUnits.push_back(static_cast<uint8_t>(unit));
  }
  ReadSerials(bios, tables);
  BuildDriveOrder(tables);
}

uint8_t PairFixedDrive(BiosDiskTables& tables, uint32_t serial) {
  for (uint8_t index : tables.driveOrder) {
    if (index >= tables.partitions.size()) break;
    BiosPartition& p = tables.partitions[index];
    if (p.paired || p.serial != serial) continue;
    p.paired = true;
    return index;
  }
  return kNoBiosUnit;
}

int DisketteUnitOf(const std::string& rootText) {
  for (const char* a : {"A:", "fd0:"})
    if (rootText.starts_with(a)) return 0;
  for (const char* b : {"B:", "fd1:"})
    if (rootText.starts_with(b)) return 1;
  return -1;
}

void PairLegacyDrives(DriveTable& drives, BiosDiskTables& tables,
                      const std::function<uint32_t(const DriveEntry&)>& serialOf) {
  for (BiosPartition& p : tables.partitions) p.paired = false;
  size_t nextRemovable = 0;
  const auto takeRemovable = [&]() -> uint8_t {
    return nextRemovable < tables.removableUnits.size() ? tables.removableUnits[nextRemovable++] : kNoBiosUnit;
  };
  for (DriveEntry& entry : drives.entries) {
    entry.unitByte = kNoBiosUnit;
    if (const int diskette = DisketteUnitOf(entry.rootText); diskette >= 0) {
      entry.driveType = kDriveRemovable;
      entry.unitByte = static_cast<uint8_t>(diskette);
      continue;
    }
    if (entry.driveType == kDriveFixed) {
      entry.unitByte = PairFixedDrive(tables, serialOf(entry));
      if (entry.unitByte != kNoBiosUnit) continue;
      entry.driveType = kDriveRemovable;
    }
    entry.unitByte = takeRemovable();
  }
}

}  // namespace vellum::volume
