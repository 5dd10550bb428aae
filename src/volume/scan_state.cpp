#include "volume/scan_state.h"

namespace vellum::volume {

const char* FsKindName(uint8_t fsKind) {
  switch (fsKind) {
    case kFat12: return "FAT12";
    case kFat16: return "FAT16";
    case kFat32: return "FAT32";
    case kNtfs: return "NTFS";
    case kExfat: return "exFAT";
    default: return "none";
  }
}

void ScanState::AddRestoredBytes(uint64_t bytes) {
  const uint64_t before = restoredBytes;
  restoredBytes += bytes;
  if (!countRestoredBytes || !progress || (before >> 20) == (restoredBytes >> 20)) return;
  if (!progress->Update(restoredBytes)) cancelled = 1;
}

}  // namespace vellum::volume
