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

}  // namespace vellum::volume
