// The restore and complete-deletion commands, shared by the command line and
// the desktop program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/search_command.h"
#include "fat/fat_restore.h"
#include "ntfs/ntfs_restore.h"
#include "restore/outcome.h"

namespace vellum::app {

inline constexpr std::string_view kDestinationOnSourceMessage =
    "復元先のフォルダが復元元のドライブにあります。\n\n"
    "復元するデータを壊すおそれがあるため、他のドライブを復元先に選んでください。";
inline constexpr std::string_view kDestinationFailedMessage = "復元先のフォルダを作成できません。";
inline constexpr std::string_view kNtfsFolderNeededMessage =
    "NTFS のドライブでは、復元する削除フォルダを指定してください。";
inline constexpr std::string_view kRowNotRestorableMessage =
    "この行の復元にはまだ対応していません。";
inline constexpr std::string_view kListOfAnotherVolumeMessage =
    "この検索結果は復元元のボリュームのものではないため、復元できません。";
inline constexpr std::string_view kWipeNtfsMessage = "NTFS のドライブは完全削除できません。";
inline constexpr std::string_view kWipeMountedMessage =
    "ドライブがマウントされているため、完全削除できません。\n\nアンマウントしてから処理してください。";
inline constexpr std::string_view kWipeQuestion =
    "削除されたファイルとフォルダのディレクトリエントリを上書きし、復元できないようにします。\n"
    "この処理は元に戻せません。\n\n処理を続けますか。";
inline constexpr std::string_view kWipeDoneMessage = "完全削除が終了しました。";
inline constexpr std::string_view kWipeWriteFailedMessage =
    "ディレクトリエントリの書き込みに失敗しました。\n\n完全削除は終了していません。";


struct RestoreRequest {
  std::string destination;        // created when missing
  const ResultList* rows = nullptr;  // restore these rows; none: the walk in restore mode
  std::vector<size_t> rowIndices;    // of `rows`; empty: every row
  uint32_t ntfsFolder = 0;        // the deleted folder record whose contents a walk restores (NTFS)
};

struct RestoreSummary {
  restore::Outcomes outcomes;
  bool cancelled = false;
};

inline constexpr std::string_view kNothingRestoredHeadline = "復元できませんでした。";
inline constexpr std::string_view kNothingToRestoreHeadline = "復元する項目はありませんでした。";

// "復元しました。..." (or one of the headlines above) with the counts of what was restored and skipped, and
// then every item that was not restored intact with its reason (at most
// `detailLimit` of them).
std::string SummaryText(const RestoreSummary& summary, size_t detailLimit = SIZE_MAX);

// 1 when the restore ran (the summary then says what it did); 0 when it
// stopped on a reported failure before writing anything.
int OnRestore(CommandContext& context, const RestoreRequest& request, RestoreSummary& summary);

// Why a list cannot belong to the open volume (an NTFS list on a FAT volume,
// clusters past its end); empty when it may.
std::string ListMismatch(const volume::ScanState& state, const ResultList& rows);

// Every file the selected drive's bytes come from: its source path and, once
// opened, the segments, parents or pieces of a container.
std::vector<std::string> SourceFiles(const volume::ScanState& state, const volume::DriveEntry* drive);

// Whether `destination` may receive restored files: not on the source and a
// folder that exists or can be made. Reports why not.
bool CheckRestoreDestination(CommandContext& context, const std::string& destination);

struct WipeSummary {
  uint64_t entriesOverwritten = 0;
  uint64_t failedWrites = 0;
};

// Complete deletion of the selected FAT or exFAT volume; 1 when it ran and
// every write reached the disk, 0 when it did not run or a write failed
// (reported with the sector and the system's reason).
int OnCompleteDeletion(CommandContext& context, WipeSummary* summary = nullptr);

}  // namespace vellum::app
