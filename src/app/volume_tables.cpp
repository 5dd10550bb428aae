#include "app/volume_tables.h"

#include "fat/fat_tables.h"
#include "ntfs/ntfs_tables.h"

namespace vellum::app {

using volume::ScanState;

std::string LoadVolumeTables(ScanState& state) {
  state.fat.clear();
  state.fatWork.clear();
  state.mftRecord0.clear();
  state.exfatBitmap.clear();
  state.clusterBitmap.clear();
  if (!state.volumeHandle) return "ボリュームが開かれていません";
  switch (state.fsKind) {
    case volume::kNtfs: return ntfs::LoadNtfsTables(state);
    case volume::kFat12:
    case volume::kFat16:
    case volume::kFat32:
    case volume::kExfat: return fat::LoadFatTables(state);
    default: return "ファイルシステムが FAT12、FAT16、FAT32、exFAT、NTFS のどれでもありません";
  }
}

}  // namespace vellum::app
