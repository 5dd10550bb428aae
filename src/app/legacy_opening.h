// The legacy path's first step of an opening, before the result list is
// touched: which BIOS unit the selected drive is read through, where on the
// unit its volume starts and which FAT it holds. A fixed drive takes all
// three from the BIOS partition it was paired with; a removable drive is
// asked about its disk first, and then a floppy drive (A:, B:) is FAT12 from
// the unit's first sector, while any other removable unit is looked at: a
// FAT boot sector in sector 0, else the first FAT partition of the
// partition table there.
#pragma once

#include <cstdint>
#include <string_view>

#include "volume/drives.h"
#include "volume/scan_state.h"
#include "volume/seams.h"

namespace vellum::app {

inline constexpr std::string_view kNoRemovableUnitMessage =
    "リムーバブルディスクの読み取りに失敗しました。\n\n"
    "コンピュータの電源を切り、ディスクを挿入した状態で再起動してください。\n\n"
    "また、「デバイスマネージャ」でそのディバイスの「Int 13 ﾕﾆｯﾄ」チェックボックスにチェックが入っていることも確認してください。\n"
    "入っていなければチェックを入れて再起動してください。";
inline constexpr std::string_view kNoPartitionForDriveMessage =
    "選択されたドライブに対応した領域が見つかりませんでした。\n\n"
    "「デバイスマネージャ」でそのディバイスの「Int 13 ﾕﾆｯﾄ」チェックボックスにチェックが入っていることを確認してください。\n"
    "入っていなければチェックを入れて再起動してください。";

enum class LegacyChoice {
  kChosen,      // unit, start and fsKind are set (fsKind may be kFsNone: nothing we search)
  kGivenUp,     // reported, or a drive type the path does not serve (silent)
  kEndProgram,  // reported; the program ends
};

// Where the chosen volume lies on the unit, in sectors.
struct LegacyVolume {
  uint64_t start = 0;
  uint64_t sectors = 0;
};

// What the BIOS says of the selected unit: whether it takes extended
// transfers, and its geometry (all zero, and false, when the BIOS does not
// know the unit).
bool AskBiosAboutUnit(volume::ScanState& state);

// Sets biosUnit, partitionIndex and fsKind of `state` for `entry` and the
// volume's place in `volume`. Removable drives pass the removable-disk check.
LegacyChoice ChooseLegacyVolume(volume::ScanState& state, const volume::DriveEntry& entry, Messages& messages,
                                LegacyVolume& volume);

}  // namespace vellum::app
