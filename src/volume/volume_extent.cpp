#include "volume/volume_extent.h"

#include <algorithm>

#include "volume/boot_sector.h"
#include "volume/source.h"

namespace vellum::volume {

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

uint64_t LastScannedCluster(const ScanState& state) {
  if (MissingVolumeBytes(state) == 0 || state.bytesPerSector == 0 || state.sectorsPerCluster == 0)
    return state.lastCluster;
  const uint64_t sectors = state.volumeHandle->Size() / state.bytesPerSector;
  const uint64_t first = state.fsKind == kNtfs ? 0 : 2;
  const uint64_t heap = state.fsKind == kNtfs ? 0 : state.firstDataSector;
  if (sectors <= heap) return first;  // not one cluster is there; the first is read as zeros
  const uint64_t last = first + (sectors - heap - 1) / state.sectorsPerCluster;
  return std::min(last, state.lastCluster);
}

std::string TruncationNote(const ScanState& state, const std::string& source) {
  const uint64_t missing = MissingVolumeBytes(state);
  if (missing == 0) return {};
  const uint64_t bps = state.bytesPerSector ? state.bytesPerSector : 512;
  return source + " は、ブートセクタが示すボリュームの終わり (" + FormatSize(ClaimedVolumeBytes(state)) + ") より " +
         std::to_string(missing) + " バイト (" + FormatSize(missing) + "、" + std::to_string((missing + bps - 1) / bps) +
         " セクタ) 手前で終わっています。ある部分を検索し、足りない部分は 0 として読みます。"
         "クラスタのスキャンはクラスタ " + std::to_string(LastScannedCluster(state)) + " (ある部分の終わり) までです。";
}

}  // namespace vellum::volume
