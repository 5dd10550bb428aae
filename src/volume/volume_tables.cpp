#include "volume/volume_tables.h"

#include <algorithm>

#include "volume/boot_sector.h"
#include "volume/sector_io.h"
#include "volume/source.h"

namespace vellum::volume {

namespace {

std::string LoadNtfs(ScanState& state) {
  if (!state.volumeHandle->Read(0, state.ntfsBoot)) return "cannot read the boot sector";
  ReadNtfsGeometry(state);
  if (std::string why = CheckGeometry(state); !why.empty()) return why;
  if (MftRecordSizeOf(state) == 0 || MftRecordSizeOf(state) > kMaxMftRecordSize)
    return "the boot sector gives a file record size of " + std::to_string(MftRecordSizeOf(state)) +
           " bytes";
  if (!ReadMftRecord0(state)) return "cannot read the master file table's first record";
  return {};
}

// The FAT as the boot sector sizes it, but never more than the device holds
// past the FAT's start: a damaged size must not become a huge allocation, and
// a cut-off image still yields the part of its FAT that survived.
void ReadFat(ScanState& state) {
  const uint64_t bps = state.bytesPerSector;
  const uint64_t start = uint64_t{state.fatStartSector} * bps;
  const uint64_t device = state.volumeHandle->Size();
  const uint64_t available = device > start ? (device - start) / bps : 0;
  const uint64_t sectors = std::min<uint64_t>(state.fatSectors, available);
  state.fat.assign(sectors * bps, 0);
  ReadSectors(state, state.fatStartSector, sectors, state.fat);
}

std::string LoadFat(ScanState& state) {
  if (!ReadBootGeometry(state, 0)) return "cannot read the boot sector";
  if (std::string why = CheckGeometry(state); !why.empty()) return why;
  // An image cut off before its clusters begin has lost part of its FAT or
  // root directory: what it lists could not be trusted. One cut inside the
  // data area still yields whatever lies before the cut.
  const uint64_t metadataEnd = uint64_t{state.firstDataSector} * state.bytesPerSector;
  if (state.volumeHandle->Size() < metadataEnd)
    return "the image ends at byte " + std::to_string(state.volumeHandle->Size()) +
           ", before the end of its allocation table and root directory (byte " +
           std::to_string(metadataEnd) + ")";
  ReadFat(state);
  // The bitmap's own cluster chain is looked up in the FAT, so the FAT comes
  // first. An unreadable root leaves the bitmap empty, which counts every
  // cluster as used: the volume can still be scanned, nothing is taken for free.
  if (state.fsKind == kExfat) LoadExfatBitmap(state, state.rootCluster);
  state.fatWork = state.fat;
  return {};
}

}  // namespace

std::string LoadVolumeTables(ScanState& state) {
  state.fat.clear();
  state.fatWork.clear();
  state.mftRecord0.clear();
  state.exfatBitmap.clear();
  state.clusterBitmap.clear();
  if (!state.volumeHandle) return "no volume is open";
  switch (state.fsKind) {
    case kNtfs: return LoadNtfs(state);
    case kFat12:
    case kFat16:
    case kFat32:
    case kExfat: return LoadFat(state);
    default: return "the file system is not FAT12, FAT16, FAT32, exFAT or NTFS";
  }
}

namespace {

// The volume's end as its boot sector gives it: the FAT family's sector
// count, NTFS's sector count, exFAT's cluster heap end.
uint64_t ClaimedVolumeBytes(const ScanState& state) {
  const uint64_t bps = state.bytesPerSector;
  switch (state.fsKind) {
    case kFat12:
    case kFat16:
    case kFat32: return uint64_t{state.totalSectors} * bps;
    case kExfat: return uint64_t{state.firstDataSector} * bps + state.dataAreaBytes;
    case kNtfs: return state.dataAreaBytes;
    default: return 0;
  }
}

}  // namespace

uint64_t MissingVolumeBytes(const ScanState& state) {
  if (!state.volumeHandle) return 0;
  const uint64_t claimed = ClaimedVolumeBytes(state);
  const uint64_t size = state.volumeHandle->Size();
  return claimed > size ? claimed - size : 0;
}

std::string TruncationNote(const ScanState& state, const std::string& source) {
  const uint64_t missing = MissingVolumeBytes(state);
  if (missing == 0) return {};
  const uint64_t bps = state.bytesPerSector ? state.bytesPerSector : 512;
  return source + " ends " + std::to_string(missing) + " bytes (" + FormatSize(missing) + ", " +
         std::to_string((missing + bps - 1) / bps) + " sectors) before the end of the volume its boot sector describes (" +
         FormatSize(ClaimedVolumeBytes(state)) + "); what is there is searched, the missing part reads as zeros";
}

}  // namespace vellum::volume
