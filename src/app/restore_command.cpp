#include "app/restore_command.h"

#include <algorithm>
#include <ostream>
#include <unordered_map>

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

// A file or folder of the bin, not an alternate data stream.
bool IsBinData(const RowItem& item) {
  if (const auto* record = std::get_if<ntfs::FoundRecord>(&item)) return record->stream.empty();
  return std::holds_alternative<fat::FoundEntry>(item);
}

// The bin's files to be written under their original names: given their
// names once the check has found them on the volume by the listed ones.
using OriginalNames = std::vector<std::pair<size_t, BinNote>>;

// The rows' items in restore order, each made from its row when it is
// needed: a list of millions of rows is never held as items all at once.
// Listed() is the item as its row lists it, for the check that the volume
// holds it; Restored() the one written.
class RowItems {
 public:
  RowItems(const ResultList& rows, const std::vector<size_t>& order)
      : rows_(rows), order_(order), kind_(KindOfList(rows)) {}
  size_t Count() const { return order_.size(); }
  RowItem Listed(size_t k) const { return ReadRowItem(rows_, order_[k], kind_); }
  RowItem Restored(size_t k) const;
  // The renames, and below every bin folder of FAT or exFAT sent to its
  // original path, the rows listed inside it sent there too: their folder
  // is what the folder's own restore writes them into, so each file is
  // written once, where the folder goes.
  void UseOriginalNames(const OriginalNames& renames);

 private:
  const ResultList& rows_;
  const std::vector<size_t>& order_;
  ListKind kind_;
  std::unordered_map<size_t, BinNote> renamed_;             // by place in the order
  std::vector<std::pair<std::string, std::string>> moved_;  // a bin folder's old place, its new one
};

void RowItems::UseOriginalNames(const OriginalNames& renames) {
  for (const auto& [k, note] : renames) {
    renamed_.emplace(k, note);
    RowItem item = Listed(k);
    const auto* entry = std::get_if<fat::FoundEntry>(&item);
    const std::string before = entry && entry->isFolder ? EntryPath(*entry) : std::string();
    UseOriginalName(item, note);
    if (!before.empty()) moved_.emplace_back(before, EntryPath(std::get<fat::FoundEntry>(item)));
  }
}

RowItem RowItems::Restored(size_t k) const {
  RowItem item = Listed(k);
  if (const auto found = renamed_.find(k); found != renamed_.end()) UseOriginalName(item, found->second);
  auto* entry = std::get_if<fat::FoundEntry>(&item);
  if (entry == nullptr) return item;
  for (const auto& [before, after] : moved_)
    if (entry->folder == before || entry->folder.starts_with(before + "/")) {
      entry->folder = after + entry->folder.substr(before.size());
      break;
    }
  return item;
}

// The bin's files among the chosen rows, when their original names are
// asked for (or, from the window, answered Yes).
OriginalNames OriginalNamesOf(CommandContext& c, const RestoreRequest& request, const RowItems& items,
                              const std::vector<size_t>& order) {
  if (!request.originalNames && !request.askAboutOriginalNames) return {};
  const BinNotes notes = RecycleBinNotes(c.state, *request.rows);
  std::vector<size_t> binFiles;
  for (size_t k = 0; k < order.size(); ++k) {
    const BinNote* note = NoteOfRow(notes, order[k]);
    if (note && !note->index && IsBinData(items.Listed(k))) binFiles.push_back(k);
  }
  if (binFiles.empty()) return {};
  if (!request.originalNames &&
      c.messages.Show(OriginalNamesQuestion(binFiles.size()), MessageButtons::YesNo, MessageIcon::None,
                      MessageAnswer::No) != MessageAnswer::Yes)
    return {};
  OriginalNames renames;
  for (size_t k : binFiles) renames.emplace_back(k, *NoteOfRow(notes, order[k]));
  return renames;
}

// `readFailed` is set for the NTFS rows whose record the device failed to give.
std::vector<bool> ItemsOnVolume(ScanState& s, const RowItems& items, std::vector<bool>& readFailed) {
  std::vector<bool> on(items.Count(), true);
  readFailed.assign(items.Count(), false);
  std::vector<uint32_t> at;  // the FAT and exFAT entries, looked for together
  for (size_t k = 0; k < items.Count(); ++k) {
    const RowItem item = items.Listed(k);
    if (const auto* r = std::get_if<ntfs::FoundRecord>(&item)) {
      const uint64_t failedBefore = s.failedReads;
      on[k] = ntfs::RecordCarriesName(s, *r);
      readFailed[k] = !on[k] && s.failedReads != failedBefore;
    } else if (const auto* f = std::get_if<content::FoundContent>(&item)) {
      on[k] = content::StartsWithSignatureOf(s, *f);
    } else if (std::holds_alternative<fat::FoundEntry>(item)) {
      at.push_back(static_cast<uint32_t>(k));
    }
  }
  if (at.empty()) return on;
  const std::vector<bool> held = fat::EntriesOnVolume(
      s, at.size(), [&](size_t i) { return std::get<fat::FoundEntry>(items.Listed(at[i])); });
  for (size_t i = 0; i < at.size(); ++i) on[at[i]] = held[i];
  return on;
}

// What the check found of each chosen row, by its place in the order.
struct RowChecks {
  std::vector<bool> on;         // the volume holds it
  std::vector<bool> unchecked;  // it could not be checked for the device's errors
  bool restoreForeign = false;  // the rows not found are restored all the same
};

RowChecks CheckRows(CommandContext& c, const RestoreRequest& request, const RowItems& items) {
  RowChecks checks;
  std::vector<bool> readFailed(items.Count(), false);
  // With --force every row is restored whatever the check finds: it is not
  // run, since on a long list it can cost a walk and a scan of the volume.
  checks.on = request.force ? std::vector<bool>(items.Count(), true) : ItemsOnVolume(c.state, items, readFailed);
  // Rows that could not be checked for the device's errors are no sign of
  // another volume: they are skipped for that reason (or restored with --force).
  checks.unchecked.assign(items.Count(), false);
  std::vector<bool> foreignOrOn = checks.on;
  for (size_t k = 0; k < items.Count(); ++k)
    if (!checks.on[k] && (readFailed[k] || UncheckedForDamage(c.state, items.Listed(k))))
      checks.unchecked[k] = foreignOrOn[k] = true;
  checks.restoreForeign = RestoreForeignRows(c, request, foreignOrOn);
  return checks;
}

// The restore of the chosen rows, one at a time in restore order.
class RowRestore {
 public:
  RowRestore(CommandContext& c, const RestoreRequest& request, const restore::RestoreTarget& target,
             RestoreSummary& summary, const std::vector<size_t>& order)
      : c_(c), request_(request), rows_(*request.rows), target_(target), summary_(summary), order_(order),
        items_(rows_, order) {}
  void Run();

 private:
  void RestoreRow(size_t k);
  // Whether the row is passed over or skipped before anything is written.
  bool LeftOut(size_t k, const RowItem& item);

  CommandContext& c_;
  const RestoreRequest& request_;
  const ResultList& rows_;
  const restore::RestoreTarget& target_;
  RestoreSummary& summary_;
  const std::vector<size_t>& order_;
  RowItems items_;
  RowChecks checks_;
  std::vector<volume::RowState> states_;  // by place in the order
  std::vector<bool> written_;             // by row: rows that wrote a file
};

bool RowRestore::LeftOut(size_t k, const RowItem& item) {
  const size_t row = order_[k];
  if (request_.intactOnly && states_[k] != volume::RowState::kIntact) {
    ++summary_.leftNotIntact;
    return true;
  }
  const std::optional<content::ContentCheck> check = ItemCheck(c_.state, item);
  if (request_.verifiedOnly && check && check->verdict != content::ContentCheck::Verdict::kVerified) {
    ++summary_.leftNotVerified;
    return true;
  }
  const std::string_view folderCell = rows_.Cell(row, 1);
  const bool endsInSeparator = !folderCell.empty() && platform::IsPathSeparator(folderCell.back());
  summary_.outcomes.SetCurrentRow(row + 1,
                                  std::string(folderCell) +
                                      (endsInSeparator ? "" : std::string(1, platform::kPathSeparator)) +
                                      std::string(rows_.Cell(row, 0)),
                                  volume::RowStateKey(states_[k]));
  if (check) summary_.outcomes.SetCurrentCheck(content::ContentCheckKey(*check));
  if (checks_.unchecked[k] && !request_.force) {
    summary_.outcomes.Skipped(RowItemPath(target_, rows_, row), restore::kReasonUncheckedUnreadable);
    return true;
  }
  if (!checks_.on[k] && !checks_.unchecked[k] && !checks_.restoreForeign) {
    summary_.outcomes.Skipped(RowItemPath(target_, rows_, row), restore::kReasonNotOnVolume);
    return true;
  }
  return false;
}

void RowRestore::RestoreRow(size_t k) {
  const size_t row = order_[k];
  if (row >= rows_.RowCount()) {
    summary_.outcomes.Skipped("行 " + std::to_string(row + 1), "リストにない行");
    return;
  }
  const RowItem item = items_.Restored(k);
  if (LeftOut(k, item)) return;
  const uint32_t filesBefore = summary_.outcomes.Files();
  const size_t itemsBefore = summary_.outcomes.ItemCount();
  const bool restored = RestoreItem(c_.state, target_, item);
  if (!restored) summary_.outcomes.Skipped(RowItemPath(target_, rows_, row), restore::kReasonNotRestorable);
  // A file its folder's row wrote already leaves no second outcome: written all the same.
  if (summary_.outcomes.Files() > filesBefore || (restored && summary_.outcomes.ItemCount() == itemsBefore))
    written_[row] = true;
}

void RowRestore::Run() {
  // Asked before the check, whose question about rows not found comes second.
  const OriginalNames renames = OriginalNamesOf(c_, request_, items_, order_);
  checks_ = CheckRows(c_, request_, items_);
  items_.UseOriginalNames(renames);
  ScanState& s = c_.state;
  if (s.progress) s.progress->OpenProgress();
  // The states of NTFS rows come from the cluster bitmap, and so do those
  // of recognised files there: it is loaded once for all of them.
  if (s.fsKind == volume::kNtfs) ntfs::LoadNtfsClusterBitmap(s);
  states_.reserve(order_.size());
  for (size_t k = 0; k < order_.size(); ++k) states_.push_back(ItemRecoverability(s, items_.Restored(k)).state);
  // A recognised file that is the data of a file chosen by name is written once, by name.
  const std::vector<uint32_t> same = SameContentRowNumbers(s, rows_);
  // By row of the list, one bit each: a list may hold millions.
  std::vector<bool> chosen(rows_.RowCount(), false);
  for (size_t row : order_)
    if (row < chosen.size()) chosen[row] = true;
  std::vector<size_t> deferred;  // such rows, restored after the others unless their data was written
  written_.assign(rows_.RowCount(), false);
  StartByteCount(s, rows_, order_);
  for (size_t k = 0; k < order_.size() && !s.cancelled; ++k) {
    const size_t row = order_[k];
    if (row < same.size() && same[row] != kNoSameRow && same[row] < chosen.size() && chosen[same[row]])
      deferred.push_back(k);
    else
      RestoreRow(k);
  }
  // The rows that repeat a chosen file's data come last: written only when that file was not.
  for (size_t k : deferred) {
    if (s.cancelled) break;
    if (written_[same[order_[k]]]) ++summary_.sameData;
    else RestoreRow(k);
  }
  s.clusterBitmap.clear();
}

void RestoreRows(CommandContext& c, const RestoreRequest& request, const restore::RestoreTarget& target,
                 RestoreSummary& summary) {
  const std::vector<size_t> order = RestoreOrder(request);
  RowRestore(c, request, target, summary, order).Run();
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
