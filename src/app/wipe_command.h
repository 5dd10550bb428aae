// Complete deletion, shared by the command line and the desktop program:
// the deleted entries of a FAT or exFAT volume are overwritten, then the
// free clusters they pointed at, and when asked every other free cluster.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/search_command.h"
#include "volume/drives.h"

namespace vellum::app {

inline constexpr std::string_view kWipeNtfsMessage = "NTFS のドライブは完全削除できません。";
inline constexpr std::string_view kWipeMountedMessage =
    "ドライブがマウントされているため、完全削除できません。\n\nアンマウントしてから処理してください。";
inline constexpr std::string_view kWipeQuestion =
    "削除されたファイルとフォルダのディレクトリエントリと、そのファイルが使っていた空きクラスタを上書きし、"
    "復元できないようにします。\n使用中のファイルのデータは変更しません。\n"
    "この処理は元に戻せません。\n\n処理を続けますか。";
inline constexpr std::string_view kWipeFreeSpaceQuestion =
    "ほかの空きクラスタもすべて 0 で上書きしますか。\n\n"
    "以前に削除されたファイルの内容も見つからなくなります。空きクラスタが多いと時間がかかります。";
inline constexpr std::string_view kWipeDoneMessage = "完全削除が終了しました。";
inline constexpr std::string_view kWipeCancelledMessage =
    "完全削除を中止しました。\n\n中止するまでに上書きした部分は元に戻りません。";
inline constexpr std::string_view kWipeWriteFailedMessage =
    "ディレクトリエントリの書き込みに失敗しました。\n\n完全削除は終了していません。";

struct WipeSummary {
  uint64_t entriesOverwritten = 0;
  uint64_t failedWrites = 0;
  uint64_t dataClusters = 0;   // free clusters the wiped entries pointed at, zeroed
  uint64_t freeClusters = 0;   // other free clusters zeroed (the free-space pass)
  bool cancelled = false;
  uint64_t stoppedAtCluster = 0;  // where it stopped when cancelled; 0: before the clusters
};

// What the list shows of the volume about to be wiped: its rows of deleted
// entries, whose entries and data the wipe overwrites; its rows found by
// contents that are such an entry's data again, which go with it; and the
// other rows found by contents, which are data no entry points at and stay
// unless the free space is zeroed too. All 0 when the list is of another
// volume. `state` holds the volume, opened.
struct ListedForWipe {
  bool listOfVolume = false;
  size_t entryRows = 0;
  size_t repeatedContentRows = 0;
  size_t keptContentRows = 0;
};
ListedForWipe ListedRowsOf(volume::ScanState& state, const ResultList& list, const volume::DriveEntry* drive);

// The complete-deletion question, with the drive or image it will write on
// on a line of its own (the drive box may show one drive while the person
// thinks of another), and what becomes of the rows listed for it.
std::string WipeQuestion(const volume::DriveEntry* drive, const ListedForWipe& listed = {});

// Complete deletion of the selected FAT or exFAT volume. A list of that
// volume is searched again afterwards (with the free-cluster scan when it
// held rows found by content), so that it shows what is left; a list of
// another volume is left alone. 1 when it ran to
// the end and every write reached the disk, 0 when it did not run, was
// cancelled (the message says where it stopped) or a write failed (reported
// with the sector and the system's reason).
int OnCompleteDeletion(CommandContext& context, WipeSummary* summary = nullptr);

// The closing message's counts: entries, clusters and, after the
// free-space pass, the other free clusters.
std::string WipeCountsText(const WipeSummary& summary);

}  // namespace vellum::app
