#include "app/restore_command.h"

#include <algorithm>
#include <ostream>

#include "app/command_volume.h"
#include "app/parse_number.h"
#include "app/progress_model.h"
#include "app/recycle_bin_rows.h"
#include "app/results_file.h"
#include "app/row_item.h"
#include "app/row_state.h"
#include "app/same_content.h"
#include "app/write_guard.h"
#include "content/analyse_cluster.h"
#include "content/content_row.h"
#include "content/content_verdict.h"
#include "fat/fat_restore.h"
#include "fat/fat_walk.h"
#include "fat/found_entry.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/ntfs_restore.h"
#include "ntfs/recycle_bin.h"
#include "volume/sector_io.h"
#include "platform/file_system.h"
#include "restore/restore_output.h"
#include "volume/listing.h"

namespace vellum::app {

using volume::ScanState;

namespace {


// Where a row's item would go, to name it in the outcome record.
std::string RowItemPath(const restore::RestoreTarget& target, const ResultList& rows, size_t row) {
  return restore::ParentOf(target, RowFolderBelowRoot(rows, row)) + "/" + std::string(rows.Cell(row, 0));
}

// Folder rows first, shallowest first: a folder restored with its
// contents takes in the rows below it, which are then not written twice,
// and gets its own time instead of being made on the way to a child.
std::vector<size_t> RestoreOrder(const RestoreRequest& request) {
  const ResultList& rows = *request.rows;
  std::vector<size_t> chosen = request.rowIndices;
  if (chosen.empty())
    for (size_t i = 0; i < rows.RowCount(); ++i) chosen.push_back(i);
  auto depth = [&](size_t row) {
    if (row >= rows.RowCount()) return SIZE_MAX;
    const std::string folder = RowFolderBelowRoot(rows, row);
    return folder.empty() ? 0
                          : static_cast<size_t>(std::count_if(folder.begin(), folder.end(), platform::IsPathSeparator)) + 1;
  };
  auto isFolder = [&](size_t row) {
    return row < rows.RowCount() && (rows.DataWord(row) & volume::kRowFolder) != 0;
  };
  std::stable_sort(chosen.begin(), chosen.end(), [&](size_t a, size_t b) {
    if (isFolder(a) != isFolder(b)) return isFolder(a);
    return isFolder(a) && depth(a) < depth(b);
  });
  return chosen;
}

// The progress of a row restore counts bytes: the sizes of the chosen files
// (a folder's contents are not known before they are walked).
void StartByteCount(ScanState& s, const ResultList& rows, const std::vector<size_t>& order) {
  uint64_t total = 0;
  for (size_t row : order)
    if (row < rows.RowCount() && (rows.DataWord(row) & volume::kRowFolder) == 0)
      total += ParseUnsigned64(rows.Cell(row, 2));
  s.restoredBytes = 0;
  s.countRestoredBytes = true;
  if (!s.progress) return;
  s.progress->StartPhase(kRestoreBytesCaption, std::max<uint64_t>(total, 1));
  s.progress->ShowFileLabel();
}

// For each item, whether the volume restored from still holds it: an entry
// still found where it was listed, a record still carrying its name, a
// first cluster still beginning with the signature of the recognised type.
// A list of another volume of the same kind fails here, row by row.
// Whether a row the check did not find lies where the device failed: its
// folder was partly unreadable, or its first cluster was. Such a row is not
// from another volume; it cannot be checked.
bool ClusterUnreadable(const ScanState& s, uint64_t cluster) {
  uint64_t at = 0;
  return CheckedMul(volume::ClusterToSector(s, cluster), s.bytesPerSector, at) && at <= UINT64_MAX - s.clusterBytes &&
         !volume::UnreadableIn(s.readDamage, at, at + s.clusterBytes).empty();
}

bool UncheckedForDamage(const ScanState& s, const RowItem& item) {
  if (const auto* e = std::get_if<fat::FoundEntry>(&item)) {
    if (e->slotCluster != 0) return ClusterUnreadable(s, e->slotCluster);
    const std::string& folder = e->folder.empty() ? s.rootPath : e->folder;
    return std::any_of(s.readDamage.folders.begin(), s.readDamage.folders.end(),
                       [&](const volume::ReadDamage::Folder& f) { return f.path == folder; });
  }
  if (const auto* f = std::get_if<content::FoundContent>(&item)) return ClusterUnreadable(s, f->firstCluster);
  return false;
}

// `readFailed` is set for the NTFS rows whose record the device failed to give.
std::vector<bool> ItemsOnVolume(ScanState& s, const std::vector<RowItem>& items, std::vector<bool>& readFailed) {
  std::vector<bool> on(items.size(), true);
  readFailed.assign(items.size(), false);
  std::vector<size_t> at;
  std::vector<const fat::FoundEntry*> entries;
  for (size_t i = 0; i < items.size(); ++i) {
    if (const auto* r = std::get_if<ntfs::FoundRecord>(&items[i])) {
      const uint64_t failedBefore = s.failedReads;
      on[i] = ntfs::RecordCarriesName(s, *r);
      readFailed[i] = !on[i] && s.failedReads != failedBefore;
    } else if (const auto* f = std::get_if<content::FoundContent>(&items[i])) {
      on[i] = content::StartsWithSignatureOf(s, *f);
    } else if (const auto* e = std::get_if<fat::FoundEntry>(&items[i])) {
      at.push_back(i);
      entries.push_back(e);
    }
  }
  if (entries.empty()) return on;
  const std::vector<bool> held = fat::EntriesOnVolume(s, entries);
  for (size_t k = 0; k < at.size(); ++k) on[at[k]] = held[k];
  return on;
}

std::string ForeignRowsQuestion(size_t count) {
  return "選択した行のうち " + std::to_string(count) +
         " 行は、このボリュームに見つかりません。別のボリュームの一覧かもしれません。\n"
         "復元すると、関係のないデータが書き出されることがあります。\n\nそれでも復元しますか。";
}

// Whether the rows the volume does not hold are restored anyway: asked for
// on the command line, or answered Yes in the window.
bool RestoreForeignRows(CommandContext& c, const RestoreRequest& request, const std::vector<bool>& on) {
  const size_t foreign = static_cast<size_t>(std::count(on.begin(), on.end(), false));
  if (foreign == 0 || request.force) return true;
  return request.askAboutForeignRows &&
         c.messages.Show(ForeignRowsQuestion(foreign), MessageButtons::YesNo, MessageIcon::Warning,
                         MessageAnswer::No) == MessageAnswer::Yes;
}

// Each file system restores its own items; false for a row that holds none.
bool RestoreItem(ScanState& s, const restore::RestoreTarget& target, const RowItem& item) {
  if (const auto* e = std::get_if<fat::FoundEntry>(&item)) {
    fat::RestoreListedEntry(s, target, *e);
    return true;
  }
  if (const auto* r = std::get_if<ntfs::FoundRecord>(&item)) return ntfs::RestoreFoundRecord(s, target, *r);
  if (const auto* f = std::get_if<content::FoundContent>(&item)) return content::RestoreFoundContent(s, target, *f);
  return false;
}

// A recognised file's own check, read from the volume; none for other rows.
std::optional<content::ContentCheck> ItemCheck(ScanState& s, const RowItem& item) {
  const auto* found = std::get_if<content::FoundContent>(&item);
  if (found == nullptr) return std::nullopt;
  return content::CheckFoundContent(s, *found);
}

// Rows of recognised contents on NTFS follow the cluster bitmap: it is
// loaded once for all of them, not once per row.
bool NeedsClusterBitmap(const ScanState& s, const std::vector<RowItem>& items) {
  return s.fsKind == volume::kNtfs && std::any_of(items.begin(), items.end(), [](const RowItem& item) {
           return std::holds_alternative<content::FoundContent>(item);
         });
}

// A Recycle Bin file or folder sent to the path its index records: the
// folder of that path below the destination, under its last name. The
// folders are made as every restore makes them, each name checked.
// A FAT or exFAT row's name and folder say only where it is written.
void UseOriginalName(RowItem& item, const BinNote& note) {
  const std::string below = ntfs::PathBelowDestination(note.originalPath);
  const size_t slash = below.find_last_of('/');
  const std::string name = slash == std::string::npos ? below : below.substr(slash + 1);
  if (name.empty()) return;
  const std::string folder = slash == std::string::npos ? std::string() : below.substr(0, slash);
  if (auto* record = std::get_if<ntfs::FoundRecord>(&item)) {
    record->folder = folder;
    record->restoreName = name;
  } else if (auto* entry = std::get_if<fat::FoundEntry>(&item)) {
    entry->folder = folder;
    entry->name = name;
  }
}

// A FAT or exFAT entry's place below the volume root: its folder and name.
std::string EntryPath(const fat::FoundEntry& e) { return e.folder.empty() ? e.name : e.folder + "/" + e.name; }

// The renames, and below every bin folder of FAT or exFAT sent to its
// original path, the rows listed inside it sent there too: their folder is
// what the folder's own restore writes them into, so each file is written
// once, where the folder goes.
void UseOriginalNames(std::vector<RowItem>& items, const std::vector<std::pair<size_t, BinNote>>& renames) {
  std::vector<std::pair<std::string, std::string>> moved;  // the folder's old place, its new one
  for (const auto& [k, note] : renames) {
    const auto* entry = std::get_if<fat::FoundEntry>(&items[k]);
    const std::string before = entry && entry->isFolder ? EntryPath(*entry) : std::string();
    UseOriginalName(items[k], note);
    if (!before.empty()) moved.emplace_back(before, EntryPath(std::get<fat::FoundEntry>(items[k])));
  }
  for (RowItem& item : items) {
    auto* entry = std::get_if<fat::FoundEntry>(&item);
    if (entry == nullptr) continue;
    for (const auto& [before, after] : moved)
      if (entry->folder == before || entry->folder.starts_with(before + "/")) {
        entry->folder = after + entry->folder.substr(before.size());
        break;
      }
  }
}

// A file or folder of the bin, not an alternate data stream.
bool IsBinData(const RowItem& item) {
  if (const auto* record = std::get_if<ntfs::FoundRecord>(&item)) return record->stream.empty();
  return std::holds_alternative<fat::FoundEntry>(item);
}

// The rows' items, and the bin's files to be written under their original
// names when asked for (or, from the window, answered Yes): given their
// names once the check has found them on the volume by the listed ones.
using OriginalNames = std::vector<std::pair<size_t, BinNote>>;

std::vector<RowItem> ItemsOf(CommandContext& c, const RestoreRequest& request, const std::vector<size_t>& order,
                             OriginalNames& renames) {
  const ResultList& rows = *request.rows;
  const ListKind kind = KindOfList(rows);
  std::vector<RowItem> items;
  items.reserve(order.size());
  for (size_t row : order) items.push_back(ReadRowItem(rows, row, kind));
  if (!request.originalNames && !request.askAboutOriginalNames) return items;
  const std::vector<std::optional<BinNote>> notes = RecycleBinNotes(c.state, rows);
  std::vector<size_t> binFiles;
  for (size_t k = 0; k < order.size(); ++k) {
    const size_t row = order[k];
    if (IsBinData(items[k]) && row < notes.size() && notes[row] && !notes[row]->index) binFiles.push_back(k);
  }
  if (binFiles.empty()) return items;
  if (!request.originalNames &&
      c.messages.Show(OriginalNamesQuestion(binFiles.size()), MessageButtons::YesNo, MessageIcon::None,
                      MessageAnswer::No) != MessageAnswer::Yes)
    return items;
  for (size_t k : binFiles) renames.emplace_back(k, *notes[order[k]]);
  return items;
}

void RestoreRows(CommandContext& c, const RestoreRequest& request, const restore::RestoreTarget& target,
                 RestoreSummary& summary) {
  const ResultList& rows = *request.rows;
  const std::vector<size_t> order = RestoreOrder(request);
  OriginalNames renames;
  std::vector<RowItem> items = ItemsOf(c, request, order, renames);
  std::vector<bool> readFailed(items.size(), false);
  // With --force every row is restored whatever the check finds: it is not
  // run, since on a long list it can cost a walk and a scan of the volume.
  const std::vector<bool> on =
      request.force ? std::vector<bool>(items.size(), true) : ItemsOnVolume(c.state, items, readFailed);
  // Rows that could not be checked for the device's errors are no sign of
  // another volume: they are skipped for that reason (or restored with --force).
  std::vector<bool> unchecked(items.size(), false);
  for (size_t k = 0; k < items.size(); ++k)
    if (!on[k] && (readFailed[k] || UncheckedForDamage(c.state, items[k]))) unchecked[k] = true;
  UseOriginalNames(items, renames);
  std::vector<bool> foreignOrOn = on;
  for (size_t k = 0; k < items.size(); ++k) foreignOrOn[k] = on[k] || unchecked[k];
  const bool restoreForeign = RestoreForeignRows(c, request, foreignOrOn);
  if (c.state.progress) c.state.progress->OpenProgress();
  // The states of NTFS rows come from the cluster bitmap as well.
  if (NeedsClusterBitmap(c.state, items) || c.state.fsKind == volume::kNtfs) ntfs::LoadNtfsClusterBitmap(c.state);
  std::vector<volume::Recoverability> states;
  states.reserve(items.size());
  for (const RowItem& item : items) states.push_back(ItemRecoverability(c.state, item));
  // A recognised file that is the data of a file chosen by name is written once, by name.
  const std::vector<std::optional<size_t>> same = SameContentRows(c.state, rows);
  // By row of the list, one bit each: a list may hold millions.
  std::vector<bool> chosen(rows.RowCount(), false);
  for (size_t row : order)
    if (row < chosen.size()) chosen[row] = true;
  std::vector<size_t> deferred;                   // such rows, restored after the others unless their data was written
  std::vector<bool> written(rows.RowCount(), false);  // rows that wrote a file
  StartByteCount(c.state, rows, order);
  const auto restoreRow = [&](size_t k) {
    const size_t row = order[k];
    if (row >= rows.RowCount()) {
      summary.outcomes.Skipped("行 " + std::to_string(row + 1), "リストにない行");
      return;
    }
    if (request.intactOnly && states[k].state != volume::RowState::kIntact) {
      ++summary.leftNotIntact;
      return;
    }
    const std::optional<content::ContentCheck> check = ItemCheck(c.state, items[k]);
    if (request.verifiedOnly && check && check->verdict != content::ContentCheck::Verdict::kVerified) {
      ++summary.leftNotVerified;
      return;
    }
    const std::string_view folderCell = rows.Cell(row, 1);
    const bool endsInSeparator = !folderCell.empty() && platform::IsPathSeparator(folderCell.back());
    summary.outcomes.SetCurrentRow(row + 1,
                                   std::string(folderCell) +
                                       (endsInSeparator ? "" : std::string(1, platform::kPathSeparator)) +
                                       std::string(rows.Cell(row, 0)),
                                   volume::RowStateKey(states[k].state));
    if (check) summary.outcomes.SetCurrentCheck(content::ContentCheckKey(*check));
    if (unchecked[k] && !request.force) {
      summary.outcomes.Skipped(RowItemPath(target, rows, row), restore::kReasonUncheckedUnreadable);
      return;
    }
    if (!on[k] && !unchecked[k] && !restoreForeign) {
      summary.outcomes.Skipped(RowItemPath(target, rows, row), restore::kReasonNotOnVolume);
      return;
    }
    const uint32_t filesBefore = summary.outcomes.Files();
    const size_t itemsBefore = summary.outcomes.Items().size();
    const bool restored = RestoreItem(c.state, target, items[k]);
    if (!restored) summary.outcomes.Skipped(RowItemPath(target, rows, row), restore::kReasonNotRestorable);
    // A file its folder's row wrote already leaves no second outcome: written all the same.
    if (summary.outcomes.Files() > filesBefore || (restored && summary.outcomes.Items().size() == itemsBefore))
      written[row] = true;
  };
  for (size_t k = 0; k < order.size() && !c.state.cancelled; ++k) {
    const size_t row = order[k];
    if (row < same.size() && same[row] && *same[row] < chosen.size() && chosen[*same[row]]) deferred.push_back(k);
    else restoreRow(k);
  }
  // The rows that repeat a chosen file's data come last: written only when that file was not.
  for (size_t k : deferred) {
    if (c.state.cancelled) break;
    if (written[*same[order[k]]]) ++summary.sameData;
    else restoreRow(k);
  }
  c.state.clusterBitmap.clear();
  summary.outcomes.SetCurrentRow(0, {});
  if (c.state.progress && !c.state.cancelled) c.state.progress->Update(c.state.restoredBytes);
  c.state.countRestoredBytes = false;
  if (c.state.progress) c.state.progress->CloseProgress();
}

}  // namespace

namespace {

// The first line says how it went: "restored" heads only a summary in which
// something was.
std::string_view Headline(const RestoreSummary& s) {
  if (s.cancelled) return "復元を中止しました。";
  if (s.outcomes.Items().empty()) return kNothingToRestoreHeadline;
  // Folders made only to hold files of zeros are no restore either.
  const uint32_t zeros = s.outcomes.Count(restore::ItemResult::kReadAsZeros, false);
  if (zeros > 0 && s.outcomes.Files() == zeros) return kOnlyZerosHeadline;
  if (s.outcomes.Files() + s.outcomes.Folders() == 0) return kNothingRestoredHeadline;
  return "復元しました。";
}

}  // namespace

namespace {

constexpr std::string_view kDetailsHeading = "\n\n復元できなかった項目:";

// SummaryText up to the items not restored intact.
std::string SummaryCounts(const RestoreSummary& s) {
  const restore::Outcomes& o = s.outcomes;
  using restore::ItemResult;
  std::string text(Headline(s));
  text += "\n\nファイル: " + std::to_string(o.Files()) + " 件\nフォルダ: " + std::to_string(o.Folders()) + " 件";
  if (const uint32_t z = o.Count(ItemResult::kZeroFilled, false))
    text += "\n  読めない部分を 0 で埋めたファイル: " + std::to_string(z) + " 件";
  if (const uint32_t w = o.Count(ItemResult::kPartlyOverwritten, false))
    text += "\n  一部が上書きされていたファイル: " + std::to_string(w) + " 件";
  if (const uint32_t z = o.Count(ItemResult::kReadAsZeros, false))
    text += "\n  " + std::string(restore::kReadAsZerosWords) + "ファイル (中身は 0 だけ): " + std::to_string(z) + " 件";
  if (const uint32_t p = o.Count(ItemResult::kPredicted, false))
    text += "\n  クラスタの並びを予測して復元したファイル: " + std::to_string(p) + " 件";
  if (o.RenamedCount())
    text += "\n  復元先で使えない文字を全角にした名前: " + std::to_string(o.RenamedCount()) + " 件";
  if (o.StreamsBesideNameCount())
    text += "\n  代替データ ストリームを「ファイル名_ストリーム名」で書き出したもの: " +
            std::to_string(o.StreamsBesideNameCount()) + " 件";
  const uint32_t skipped = o.Count(ItemResult::kSkipped, false) + o.Count(ItemResult::kSkipped, true);
  const uint32_t failed = o.Count(ItemResult::kFailed, false) + o.Count(ItemResult::kFailed, true);
  if (skipped + failed > 0) {
    text += "\n\nスキップ: " + std::to_string(skipped + failed) + " 件";
    const std::pair<std::string_view, std::string_view> reasons[] = {
        {restore::kReasonUnsafeName, "使えない名前"},
        {restore::kReasonPathTooLong, "パスが長すぎる"},
        {restore::kReasonNameTooLong, "名前が長すぎる"},
        {restore::kReasonNoData, "データが見つからない"},
        {restore::kReasonLargerThanVolume, "サイズがボリュームより大きい"},
        {restore::kReasonPastVolumeEnd, "ボリュームの終わりを越えるサイズ"},
        {restore::kReasonNotRestorable, "未対応の行"},
        {restore::kReasonNotOnVolume, "このボリュームに見つからない行"},
        {restore::kReasonLink, "復元先にあるリンク (たどらない)"},
        {restore::kReasonUncheckedUnreadable, "読めないセクタのため確かめられない行"}};
    for (const auto& [reason, label] : reasons)
      if (const auto n = o.WithReason(reason)) text += "\n  " + std::string(label) + ": " + std::to_string(n) + " 件";
    if (failed) text += "\n  書き込みに失敗: " + std::to_string(failed) + " 件";
  }
  if (s.sameData)
    text += "\n\n名前のあるファイルと同じデータのため書き出さなかった行: " + std::to_string(s.sameData) + " 件";
  if (s.leftNotIntact)
    text += "\n\n上書きされている可能性があるため復元しなかった行: " + std::to_string(s.leftNotIntact) + " 件";
  if (s.leftNotVerified)
    text += "\n\n中身の検査で確かめられなかったため復元しなかった行: " + std::to_string(s.leftNotVerified) + " 件";
  return text;
}

}  // namespace

std::string SummaryText(const RestoreSummary& s, size_t detailLimit) {
  std::string text = SummaryCounts(s);
  const std::string details = restore::DetailLines(s.outcomes, detailLimit);
  if (!details.empty()) text += std::string(kDetailsHeading) + details;
  return text;
}

void WriteSummary(std::ostream& out, const RestoreSummary& s) {
  out << SummaryCounts(s);
  bool first = true;
  restore::EachDetailLine(s.outcomes, SIZE_MAX, [&](std::string_view line) {
    if (first) out << kDetailsHeading;
    first = false;
    out << line;
  });
}

std::string OriginalNamesQuestion(size_t count) {
  return "選択した行のうち " + std::to_string(count) +
         " 件は、ごみ箱から削除されたファイルかフォルダです。\n"
         "ごみ箱の情報ファイルにある元の名前とフォルダに (復元先のフォルダの下に) 復元しますか。\n\n"
         "いいえ: ごみ箱の中の名前 ($R...) のまま復元します。";
}

bool CheckRestoreDestination(CommandContext& c, const std::string& destination, const std::string& root) {
  const volume::DriveEntry* drive = SelectedDrive(c);
  if (drive && !GuardFor(*drive, &c.state).MayWrite(destination, WriteKind::kRestoreDestination, c.messages))
    return false;
  platform::SystemError error;
  const std::string& named = root.empty() ? destination : root;
  if (!platform::MakeFolders(named, error)) {
    Tell(c.messages, std::string(kDestinationFailedMessage) + "\n\n" + named +
                         (error.code ? ": " + error.text : std::string()));
    return false;
  }
  if (named == destination) return true;
  restore::Destination below(named);
  restore::FolderNotes notes;
  if (below.Folder(destination, true, nullptr, &notes)) return true;
  Tell(c.messages, std::string(kDestinationFailedMessage) + "\n\n" + destination + ": " + notes.reason);
  return false;
}

std::string ListMismatch(const ScanState& s, const ResultList& rows) {
  if (rows.RowCount() == 0 || rows.ColumnCount() < 6) return {};
  const bool ntfsList = KindOfList(rows) == ListKind::kNtfs;
  if (ntfsList != (s.fsKind == volume::kNtfs))
    return ntfsList ? "一覧は NTFS のボリュームのもの (ファイル番号の列) ですが、復元元は NTFS ではありません。"
                    : "一覧は FAT または exFAT のボリュームのもの (クラスタの列) ですが、復元元は NTFS です。";
  const size_t clusterColumn = ntfsList ? 6 : 5;
  if (rows.ColumnCount() <= clusterColumn) return {};
  for (size_t row = 0; row < rows.RowCount(); ++row) {
    const uint64_t cluster = ParseUnsigned64(rows.Cell(row, clusterColumn));
    if (cluster > s.lastCluster)
      return std::string("一覧の ") + std::to_string(row + 1) + " 行目のクラスタ " + std::to_string(cluster) +
             " は、復元元の最後のクラスタ " + std::to_string(s.lastCluster) + " より後ろにあります。";
  }
  return {};
}

int OnRestore(CommandContext& c, const RestoreRequest& request, RestoreSummary& summary) {
  // Opened first: only the opened device knows every file it reads from.
  if (!Reopen(c, platform::OpenAccess::ReadOnly)) return 0;
  if (!CheckRestoreDestination(c, request.destination, request.destinationRoot)) return 0;
  ScanState& s = c.state;
  if (request.rows) {
    const std::string mismatch = ListMismatch(s, *request.rows);
    if (!mismatch.empty()) {
      Tell(c.messages, std::string(kListOfAnotherVolumeMessage) + "\n\n" + mismatch);
      return 0;
    }
  }
  if (s.fsKind == volume::kNtfs && !request.rows && request.ntfsFolder == 0) {
    Tell(c.messages, kNtfsFolderNeededMessage);
    return 0;
  }
  std::unique_ptr<Progress> progress = c.newProgress ? c.newProgress() : nullptr;
  s.progress = progress.get();
  s.operationMode = volume::kModeRestore;
  s.cancelled = 0;
  // Everything written goes below the destination's own folder, reached from it name by name.
  restore::Destination destination(request.destinationRoot.empty() ? request.destination : request.destinationRoot);
  summary.outcomes.SetDestination(&destination);
  restore::RestoreTarget target{request.destination, &c.messages, &summary.outcomes};
  if (request.rows) {
    RestoreRows(c, request, target, summary);
  } else if (s.fsKind != volume::kNtfs) {
    fat::WalkFatExfat(s, &target);
  } else {
    if (s.progress) s.progress->OpenProgress();
    ntfs::RestoreNtfsFolder(s, request.ntfsFolder, request.destination, c.messages, summary.outcomes);
    if (s.progress) s.progress->CloseProgress();
  }
  summary.outcomes.ApplyFolderTimes();
  summary.outcomes.SetDestination(nullptr);
  summary.cancelled = s.cancelled != 0;
  s.operationMode = volume::kModeSearch;
  s.progress = nullptr;
  s.fatWork.clear();
  return 1;
}

}  // namespace vellum::app
