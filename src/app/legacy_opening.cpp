#include "app/legacy_opening.h"

#include <vector>

#include "app/open_volume.h"
#include "volume/bios_disks.h"
#include "volume/bios_sectors.h"
#include "volume/boot_sector.h"
#include "volume/fat_layout.h"
#include "volume/le.h"

namespace vellum::app {

using volume::ScanState;

namespace {

void ShowError(Messages& messages, std::string_view text) {
  messages.Show(text, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
}

uint64_t DriveSectors(const ScanState& state, const volume::DriveEntry& entry) {
  return state.bytesPerSector == 0 ? 0 : entry.length / state.bytesPerSector;
}

// The sectors a FAT boot sector says its volume has: the 16-bit count, or
// the 32-bit one when that is 0.
uint64_t BootSectorCount(ByteView boot) {
  const uint16_t small = Le(boot, fat_layout::kTotalSectors16);
  return small != 0 ? small : Le(boot, fat_layout::kTotalSectors32);
}

// What sector 0 of a removable unit holds: a FAT boot sector, told by the
// type text that mkfs and every formatter write, else a partition table
// whose first FAT entry is taken. No FAT at all leaves fsKind 0.
void LookAtSectorZero(ScanState& state, const volume::DriveEntry& entry, LegacyVolume& volume) {
  std::vector<uint8_t> sector(state.bytesPerSector);
  volume::BiosReadSectors(state, sector, 0, 1);
  state.fsKind = volume::kFsNone;
  volume.start = 0;
  if (BytesEqual(sector, fat_layout::kTypeText16.offset, "FAT16")) state.fsKind = volume::kFat16;
  else if (BytesEqual(sector, fat_layout::kTypeText16.offset, "FAT12")) state.fsKind = volume::kFat12;
  else if (BytesEqual(sector, fat_layout::kTypeText32.offset, "FAT32")) state.fsKind = volume::kFat32;
  if (state.fsKind != volume::kFsNone) {
    volume.sectors = BootSectorCount(sector);
    if (volume.sectors == 0) volume.sectors = DriveSectors(state, entry);
    return;
  }
  volume::TableEntry first;
  if (!volume::FirstFatEntry(sector, first)) return;
  state.fsKind = volume::PartitionTypeToFsKind(first.type);
  volume.start = first.firstSector;
  volume.sectors = first.sectorCount;
}

LegacyChoice ChooseRemovable(ScanState& state, const volume::DriveEntry& entry, Messages& messages,
                             LegacyVolume& volume) {
  state.partitionIndex = 0;
  state.biosUnit = entry.unitByte;
  if (volume::DisketteUnitOf(entry.rootText) >= 0) {
    if (!CheckRemovableVolume(state, entry, messages)) return LegacyChoice::kGivenUp;
    // A BIOS without that diskette drive would read it as zeros.
    if (!AskBiosAboutUnit(state)) {
      ShowError(messages, kNoRemovableUnitMessage);
      return LegacyChoice::kGivenUp;
    }
    // A diskette has no partition table and is always FAT12: nothing to read.
    state.fsKind = volume::kFat12;
    volume = {0, DriveSectors(state, entry)};
    return LegacyChoice::kChosen;
  }
  // Unit 0 is the first diskette drive: a drive that got it has no BIOS unit
  // of its own (nor has one that got none at all).
  if (entry.unitByte == 0 || entry.unitByte == volume::kNoBiosUnit) {
    ShowError(messages, kNoRemovableUnitMessage);
    return LegacyChoice::kGivenUp;
  }
  if (!CheckRemovableVolume(state, entry, messages)) return LegacyChoice::kGivenUp;
  AskBiosAboutUnit(state);
  LookAtSectorZero(state, entry, volume);
  return LegacyChoice::kChosen;
}

}  // namespace

bool AskBiosAboutUnit(ScanState& state) {
  state.lbaSupported = state.bios->i13_lba_check(state.biosUnit);
  if (state.bios->i13_get_drive_parameter(state.biosUnit, state.biosGeometry) == 1) return true;
  state.biosGeometry = {};
  return false;
}

LegacyChoice ChooseLegacyVolume(ScanState& state, const volume::DriveEntry& entry, Messages& messages,
                                LegacyVolume& volume) {
  if (!state.bios || !state.biosTables) return LegacyChoice::kGivenUp;
  if (entry.driveType == volume::kDriveRemovable) return ChooseRemovable(state, entry, messages, volume);
  if (entry.driveType != volume::kDriveFixed) return LegacyChoice::kGivenUp;
  // Drive enumeration pairs every fixed drive it can and lists the rest as
  // removable; one added to the box since then has no partition.
  if (entry.unitByte >= state.biosTables->partitions.size()) {
    state.partitionIndex = volume::kNoBiosUnit;
    ShowError(messages, kNoPartitionForDriveMessage);
    return LegacyChoice::kEndProgram;
  }
  const volume::BiosPartition& p = state.biosTables->partitions[entry.unitByte];
  state.partitionIndex = entry.unitByte;
  state.biosUnit = p.unit;
  state.fsKind = volume::PartitionTypeToFsKind(p.type);
  volume = {p.firstSector, DriveSectors(state, entry)};
  return LegacyChoice::kChosen;
}

}  // namespace vellum::app
