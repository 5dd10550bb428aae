// The restore and complete-deletion commands, shared by the command line and
// the desktop program.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "app/search_command.h"
#include "fat/found_entry.h"
#include "ntfs/ntfs_restore.h"
#include "restore/outcome.h"

namespace vellum::app {

inline constexpr std::string_view kDestinationOnSourceMessage =
    "復元先のフォルダが復元元のドライブにあります。\n\n"
    "復元するデータを壊すおそれがあるため、他のドライブを復元先に選んでください。";
inline constexpr std::string_view kDestinationFailedMessage = "復元先のフォルダを作成できません。";
inline constexpr std::string_view kNtfsFolderNeededMessage =
    "NTFS のドライブでは、復元する削除フォルダを指定してください。";
inline constexpr std::string_view kListOfAnotherVolumeMessage =
    "この検索結果は復元元のボリュームのものではないため、復元できません。";


struct RestoreRequest {
  std::string destination;        // created when missing
  const ResultList* rows = nullptr;  // restore these rows; none: the walk in restore mode
  std::vector<size_t> rowIndices;    // of `rows`; empty: every row
  uint32_t ntfsFolder = 0;        // the deleted folder record whose contents a walk restores (NTFS)
  // Rows the volume no longer holds (a list of another volume) are skipped
  // unless `force`; with `askAboutForeignRows` the user is asked (No by default).
  bool force = false;
  bool askAboutForeignRows = false;
  // Only rows whose clusters are all free (volume::RowState::kIntact); the
  // others are counted in the summary, not restored.
  bool intactOnly = false;
  // Of the recognised files, only those whose own check verified them
  // (decoded to the end, every CRC right); rows listed by name as before.
  bool verifiedOnly = false;
  // The folder the user named, when `destination` is a folder below it (an
  // NTFS folder's own path): the folders between are made from it one name
  // at a time, never through a link. Empty: `destination` itself.
  std::string destinationRoot = {};
  // Recycle Bin files and folders ($R) whose index ($I) is listed too go to
  // the original path the index records, below the destination (the drive
  // letter dropped).
  bool originalNames = false;
  // The window's way: when chosen rows are such files, the user is asked
  // (kOriginalNamesQuestion, No by default) instead.
  bool askAboutOriginalNames = false;
};

// Asked before a restore from the window when rows of the emptied Recycle Bin are chosen.
std::string OriginalNamesQuestion(size_t count);

struct RestoreSummary {
  restore::Outcomes outcomes;
  bool cancelled = false;
  uint32_t leftNotIntact = 0;  // rows --intact-only passed over
  uint32_t leftNotVerified = 0;  // content rows --verified-only passed over
  uint32_t sameData = 0;       // content rows whose data a chosen row listed by name wrote already
};

inline constexpr std::string_view kNothingRestoredHeadline = "復元できませんでした。";
// Every file written held only zeros: none of them came back.
inline constexpr std::string_view kOnlyZerosHeadline = "ファイルの中身を読めませんでした (0 としか読めませんでした)。";
inline constexpr std::string_view kNothingToRestoreHeadline = "復元する項目はありませんでした。";

// "復元しました。..." (or one of the headlines above) with the counts of what was restored and skipped, and
// then every item that was not restored intact with its reason (at most
// `detailLimit` of them).
std::string SummaryText(const RestoreSummary& summary, size_t detailLimit = SIZE_MAX);
// SummaryText with every item, written as it is made (a list of millions
// of rows leaves as many lines).
void WriteSummary(std::ostream& out, const RestoreSummary& summary);

// 1 when the restore ran (the summary then says what it did); 0 when it
// stopped on a reported failure before writing anything.
int OnRestore(CommandContext& context, const RestoreRequest& request, RestoreSummary& summary);

// Why a list cannot belong to the open volume (an NTFS list on a FAT volume,
// clusters past its end); empty when it may.
std::string ListMismatch(const volume::ScanState& state, const ResultList& rows);

// Whether `destination` may receive restored files: not on the source and a
// folder that exists or can be made. With `root` (the folder the user named,
// `destination` below it) the folders between are made from the root one
// name at a time, a link among them refused. Reports why not.
bool CheckRestoreDestination(CommandContext& context, const std::string& destination, const std::string& root = {});

}  // namespace vellum::app
