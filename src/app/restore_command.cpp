#include "app/restore_command.h"

#include <algorithm>
#include <cstdio>

#include "app/parse_number.h"
#include "app/progress_model.h"
#include "app/results_file.h"
#include "content/cluster_follow.h"
#include "fat/cluster_runs.h"
#include "fat/exfat_walk.h"
#include "fat/fat_walk.h"
#include "fat/wipe.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/ntfs_restore.h"
#include "volume/sector_io.h"
#include "platform/images/open_image.h"
#include "platform/device_identity.h"
#include "platform/file_system.h"
#include "platform/mount_check.h"
#include "restore/restore_output.h"
#include "volume/listing.h"

namespace vellum::app {

using volume::ScanState;

namespace {

void Tell(Messages& messages, std::string_view text) {
  messages.Show(text, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
}

const volume::DriveEntry* SelectedDrive(const CommandContext& c) {
  const VolumeRequest& v = c.volume;
  if (!v.drives || v.selectedIndex < 0 || static_cast<size_t>(v.selectedIndex) >= v.drives->entries.size())
    return nullptr;
  return &v.drives->entries[static_cast<size_t>(v.selectedIndex)];
}

// Opens the volume again for the command without touching the caller's
// result list: a restore works from the rows the user chose.
bool Reopen(CommandContext& c, platform::OpenAccess access) {
  ResultList scratch;
  VolumeRequest request = c.volume;
  request.access = access;
  c.state.options = c.options;
  c.state.rows = nullptr;
  return OpenVolume(c.state, request, scratch, c.messages) == 1;
}

// "YYYY/MM/DD hh:mm:ss" of a row, as a FAT date and time.
bool RowDosTime(std::string_view text, uint16_t& date, uint16_t& time) {
  unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (std::sscanf(std::string(text).c_str(), "%u/%u/%u %u:%u:%u", &y, &mo, &d, &h, &mi, &s) != 6 || y < 1980)
    return false;
  date = static_cast<uint16_t>(((y - 1980) << 9) | (mo << 5) | d);
  time = static_cast<uint16_t>((h << 11) | (mi << 5) | (s / 2));
  return true;
}

// The row's folder below the volume root: its folder column without the
// list's root text ("<不明>" stays as it is, a folder of its own below the
// destination).
std::string RowRelativeFolder(const ScanState&, const ResultList& rows, size_t row) {
  // Whatever the list's volume was called (a copy, a renamed image, the
  // device itself), its rows lie below the root of the volume restored from.
  std::string folder(rows.Cell(row, 1));
  folder.erase(0, RootTextOfFolder(folder).size());
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder;
}

// The row's folder as the walks name destination folders: root + "/" +
// relative, not yet made.
std::string RowParent(const ScanState& s, const fat::RestoreTarget& target, const ResultList& rows, size_t row) {
  const std::string folder = RowRelativeFolder(s, rows, row);
  return folder.empty() ? target.root : target.root + "/" + folder;
}

std::string RowItem(const ScanState& s, const fat::RestoreTarget& target, const ResultList& rows, size_t row) {
  return RowParent(s, target, rows, row) + "/" + std::string(rows.Cell(row, 0));
}

bool RestoreFatFamilyRow(CommandContext& c, const fat::RestoreTarget& target, const ResultList& rows, size_t row) {
  ScanState& s = c.state;
  const std::string name(rows.Cell(row, 0));
  const uint64_t cluster = ParseUnsigned64(rows.Cell(row, 5));
  const uint64_t size = ParseUnsigned64(rows.Cell(row, 2));
  const uint32_t word = rows.DataWord(row);
  const bool folder = (word & volume::kRowFolder) != 0;
  uint16_t date = 0, time = 0;
  if (!RowDosTime(rows.Cell(row, 4), date, time)) return false;
  const std::string parent = RowParent(s, target, rows, row);
  const std::string path = parent + "/" + name;
  if (s.fsKind == volume::kExfat) {
    const bool chained = (word & volume::kRowFatChain) != 0;
    if (!fat::RestoreExfatEntrySet(s, target, name, parent, folder, static_cast<uint32_t>(cluster), size, chained,
                                   date, time) ||
        !folder)
      return true;
    fat::ExfatWalk walk(s);
    walk.SetRestoreTarget(&target);
    walk.WalkExfatDirectory(static_cast<uint32_t>(cluster), size, chained, path, false, true);
    return true;
  }
  // A FAT row: rebuild the entry the walk would have handed over.
  std::vector<uint8_t> entry(32, 0);
  entry[0] = 0xE5;
  entry[11] = folder ? 0x10 : 0x20;
  PutLe16(entry, 20, static_cast<uint16_t>(cluster >> 16));
  PutLe16(entry, 22, time);
  PutLe16(entry, 24, date);
  PutLe16(entry, 26, static_cast<uint16_t>(cluster));
  PutLe32(entry, 28, static_cast<uint32_t>(size));
  if (!fat::RestoreFatEntry(s, target, entry, name, parent) || !folder) return true;
  if (!fat::ClaimDeletedDirectory(s, cluster)) return true;
  fat::FatWalk walk(s);
  walk.SetRestoreTarget(&target);
  walk.WalkFatDirectory(cluster, &path, true);
  return true;
}

// The row's folder made at the destination (NTFS rows are written into it
// directly); empty when it could not be, recorded for the row.
std::string MadeRowFolder(CommandContext& c, const fat::RestoreTarget& target, const ResultList& rows, size_t row) {
  const std::string parent = RowParent(c.state, target, rows, row);
  return fat::ResolveFolder(target, parent, parent + "/" + std::string(rows.Cell(row, 0)));
}

bool RestoreNtfsRow(CommandContext& c, const fat::RestoreTarget& target, const ResultList& rows, size_t row,
                    RestoreSummary& summary) {
  ScanState& s = c.state;
  restore::Outcomes& outcomes = summary.outcomes;
  ntfs::NtfsRecordSource source;
  source.recordNumber = static_cast<uint32_t>(ParseUnsigned64(rows.Cell(row, 5)));
  source.cluster = ParseUnsigned64(rows.Cell(row, 6));
  source.slot = static_cast<uint32_t>(ParseUnsigned64(rows.Cell(row, 7)));
  const bool folderRow = (rows.DataWord(row) & volume::kRowFolder) != 0;
  const std::string name(rows.Cell(row, 0));
  if (folderRow && (source.recordNumber == 0 || !restore::IsSafeComponent(name))) return false;
  const std::string key = "ntfs:" + std::to_string(source.recordNumber);
  if (folderRow && outcomes.AlreadyDone(key)) return true;
  const std::string parent = MadeRowFolder(c, target, rows, row);
  if (parent.empty()) return true;
  if (!folderRow) {
    ntfs::RestoreNtfsFile(s, source, parent, c.messages, outcomes);
    return true;
  }
  // A deleted folder: made under its own name, then everything below it;
  // its time is set once its contents are in.
  outcomes.MarkDone(key);
  const std::string folder = restore::JoinRecorded(parent, name, c.messages, outcomes, parent + "/" + name, true);
  if (folder.empty()) return true;
  outcomes.Restored(folder, true);
  if (const auto written = ntfs::RecordTime(s, source)) outcomes.SetFolderTimeLater(folder, *written);
  ntfs::RestoreNtfsFolder(s, source.recordNumber, folder, c.messages, outcomes);
  return true;
}

// A file recognised by content analysis: its data is taken from its first
// cluster on along the same rule the analysis measured it with (free
// clusters only when the first is free, else consecutive ones).
bool RestoreContentRow(CommandContext& c, const fat::RestoreTarget& target, const ResultList& rows, size_t row,
                       RestoreSummary& summary) {
  ScanState& s = c.state;
  restore::Outcomes& outcomes = summary.outcomes;
  const std::string name(rows.Cell(row, 0));
  const uint64_t first = ParseUnsigned64(rows.Cell(row, s.fsKind == volume::kNtfs ? 6 : 5));
  const uint64_t size = ParseUnsigned64(rows.Cell(row, 2));
  if (!restore::IsSafeComponent(name)) return false;
  const std::string key = "content:" + std::to_string(first) + ":" + std::to_string(size);
  if (outcomes.AlreadyDone(key)) return true;
  outcomes.MarkDone(key);
  if (size > s.dataAreaBytes) {
    outcomes.Skipped(RowItem(s, target, rows, row), restore::kReasonLargerThanVolume);
    return true;
  }
  const std::string folder = MadeRowFolder(c, target, rows, row);
  if (folder.empty()) return true;
  if (s.fsKind == volume::kNtfs) ntfs::LoadNtfsClusterBitmap(s);
  const bool followFree = content::IsClusterFree(s, first);
  std::vector<uint8_t> bytes(s.clusterBytes);
  // Recognised contents have no time of their own: the file keeps the time it is written.
  fat::WriteRestoredFile(s, target, folder, name, timespec{0, UTIME_OMIT}, [&](restore::RestoredFile& file) {
    uint64_t cluster = first, left = size;
    while (left > 0 && cluster != 0 && cluster <= s.lastCluster) {
      if (s.progress && s.progress->PumpAndCheckCancel()) s.cancelled = 1;
      if (s.cancelled) return false;
      const bool read = volume::ReadCluster(s, cluster, bytes);
      const std::span<const uint8_t> chunk(bytes.data(), std::min<uint64_t>(left, bytes.size()));
      if (!(read ? file.Write(chunk) : file.WriteUnreadable(chunk))) return false;
      left -= chunk.size();
      if (!volume::NextCandidateCluster(s, cluster, followFree)) break;
    }
    return true;
  });
  s.clusterBitmap.clear();
  return true;
}

// Folder rows first, shallowest first: a folder restored with its
// contents takes in the rows below it, which are then not written twice,
// and gets its own time instead of being made on the way to a child.
std::vector<size_t> RestoreOrder(const ScanState& s, const RestoreRequest& request) {
  const ResultList& rows = *request.rows;
  std::vector<size_t> chosen = request.rowIndices;
  if (chosen.empty())
    for (size_t i = 0; i < rows.RowCount(); ++i) chosen.push_back(i);
  auto depth = [&](size_t row) {
    if (row >= rows.RowCount()) return SIZE_MAX;
    const std::string folder = RowRelativeFolder(s, rows, row);
    return folder.empty() ? 0 : static_cast<size_t>(std::count(folder.begin(), folder.end(), '/')) + 1;
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

void RestoreRows(CommandContext& c, const RestoreRequest& request, const fat::RestoreTarget& target,
                 RestoreSummary& summary) {
  const ResultList& rows = *request.rows;
  const bool ntfsVolume = c.state.fsKind == volume::kNtfs;
  const std::vector<size_t> order = RestoreOrder(c.state, request);
  StartByteCount(c.state, rows, order);
  for (size_t row : order) {
    if (c.state.cancelled) break;
    if (row >= rows.RowCount()) {
      summary.outcomes.Skipped("行 " + std::to_string(row + 1), "リストにない行");
      continue;
    }
    summary.outcomes.SetCurrentRow(row + 1, std::string(rows.Cell(row, 1)) +
                                                (rows.Cell(row, 1).ends_with('/') ? "" : "/") +
                                                std::string(rows.Cell(row, 0)));
    // Rows of recognised contents carry "<不明>" as their time: no entry or
    // record to restore from, only a cluster and a size.
    const bool contentRow = rows.Cell(row, 4) == "<不明>";
    const bool restored = contentRow   ? RestoreContentRow(c, target, rows, row, summary)
                          : ntfsVolume ? RestoreNtfsRow(c, target, rows, row, summary)
                                       : RestoreFatFamilyRow(c, target, rows, row);
    if (!restored) summary.outcomes.Skipped(RowItem(c.state, target, rows, row), restore::kReasonNotRestorable);
  }
  summary.outcomes.SetCurrentRow(0, {});
  if (c.state.progress && !c.state.cancelled) c.state.progress->Update(c.state.restoredBytes);
  c.state.countRestoredBytes = false;
}

}  // namespace

namespace {

// The first line says how it went: "restored" heads only a summary in which
// something was.
std::string_view Headline(const RestoreSummary& s) {
  if (s.cancelled) return "復元を中止しました。";
  if (s.outcomes.Items().empty()) return kNothingToRestoreHeadline;
  if (s.outcomes.Files() + s.outcomes.Folders() == 0) return kNothingRestoredHeadline;
  return "復元しました。";
}

}  // namespace

std::string SummaryText(const RestoreSummary& s, size_t detailLimit) {
  const restore::Outcomes& o = s.outcomes;
  using restore::ItemResult;
  std::string text(Headline(s));
  text += "\n\nファイル: " + std::to_string(o.Files()) + " 件\nフォルダ: " + std::to_string(o.Folders()) + " 件";
  if (const uint32_t z = o.Count(ItemResult::kZeroFilled, false))
    text += "\n  読めない部分を 0 で埋めたファイル: " + std::to_string(z) + " 件";
  if (o.RenamedCount())
    text += "\n  復元先で使えない文字を全角にした名前: " + std::to_string(o.RenamedCount()) + " 件";
  const uint32_t skipped = o.Count(ItemResult::kSkipped, false) + o.Count(ItemResult::kSkipped, true);
  const uint32_t failed = o.Count(ItemResult::kFailed, false) + o.Count(ItemResult::kFailed, true);
  if (skipped + failed > 0) {
    text += "\n\nスキップ: " + std::to_string(skipped + failed) + " 件";
    const std::pair<std::string_view, std::string_view> reasons[] = {
        {restore::kReasonUnsafeName, "使えない名前"},
        {restore::kReasonPathTooLong, "パスが長すぎる"},
        {restore::kReasonNoData, "データが見つからない"},
        {restore::kReasonLargerThanVolume, "サイズがボリュームより大きい"},
        {restore::kReasonNotRestorable, "未対応の行"}};
    for (const auto& [reason, label] : reasons)
      if (const auto n = o.WithReason(reason)) text += "\n  " + std::string(label) + ": " + std::to_string(n) + " 件";
    if (failed) text += "\n  書き込みに失敗: " + std::to_string(failed) + " 件";
  }
  const std::string details = restore::DetailLines(o, detailLimit);
  if (!details.empty()) text += "\n\n復元できなかった項目:" + details;
  return text;
}

std::vector<std::string> SourceFiles(const ScanState& state, const volume::DriveEntry* drive) {
  std::vector<std::string> files;
  if (drive) files.push_back(drive->sourcePath);
  // A container's segments, parents and pieces are the source as much as its first file.
  if (state.volumeHandle)
    for (std::string& f : state.volumeHandle->BackingFiles()) files.push_back(std::move(f));
  return files;
}

bool CheckRestoreDestination(CommandContext& c, const std::string& destination) {
  const volume::DriveEntry* drive = SelectedDrive(c);
  if (drive && platform::RelationToSource(destination, SourceFiles(c.state, drive)) !=
                   platform::SourceRelation::kUnrelated) {
    Tell(c.messages, std::string(kDestinationOnSourceMessage) + "\n\n復元先: " + destination +
                         "\n復元元: " + drive->sourcePath);
    return false;
  }
  platform::SystemError error;
  if (!platform::MakeFolders(destination, error)) {
    Tell(c.messages, std::string(kDestinationFailedMessage) + "\n\n" + destination +
                         (error.code ? ": " + error.text : std::string()));
    return false;
  }
  return true;
}

std::string ListMismatch(const ScanState& s, const ResultList& rows) {
  if (rows.RowCount() == 0 || rows.ColumnCount() < 6) return {};
  const bool ntfsList = rows.ColumnAt(5).heading == "ファイル番号";
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
  if (!CheckRestoreDestination(c, request.destination)) return 0;
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
  fat::RestoreTarget target{request.destination, &c.messages, &summary.outcomes};
  if (request.rows) {
    if (s.progress) s.progress->OpenProgress();
    RestoreRows(c, request, target, summary);
    if (s.progress) s.progress->CloseProgress();
  } else if (s.fsKind != volume::kNtfs) {
    fat::WalkFatExfat(s, &target);
  } else {
    if (s.progress) s.progress->OpenProgress();
    ntfs::RestoreNtfsFolder(s, request.ntfsFolder, request.destination, c.messages, summary.outcomes);
    if (s.progress) s.progress->CloseProgress();
  }
  summary.outcomes.ApplyFolderTimes();
  summary.cancelled = s.cancelled != 0;
  s.operationMode = volume::kModeSearch;
  s.progress = nullptr;
  s.fatWork.clear();
  return 1;
}

int OnCompleteDeletion(CommandContext& c, WipeSummary* summary) {
  const volume::DriveEntry* drive = SelectedDrive(c);
  if (!Reopen(c, platform::OpenAccess::ReadOnly)) return 0;
  ScanState& s = c.state;
  if (s.fsKind == volume::kNtfs) {
    Tell(c.messages, kWipeNtfsMessage);
    return 0;
  }
  if (drive && !drive->containerKind.empty()) {
    Tell(c.messages, platform::ContainerWriteRefusal(drive->sourcePath, drive->containerKind));
    return 0;
  }
  if (drive && platform::IsSourceMounted(drive->sourcePath)) {
    Tell(c.messages, kWipeMountedMessage);
    return 0;
  }
  if (c.messages.Show(kWipeQuestion, MessageButtons::YesNo, MessageIcon::Warning, MessageAnswer::No) !=
      MessageAnswer::Yes)
    return 0;
  // Only now, and only for this command, is the volume opened for writing.
  if (!Reopen(c, platform::OpenAccess::ReadWrite)) return 0;
  std::unique_ptr<Progress> progress = c.newProgress ? c.newProgress() : nullptr;
  s.progress = progress.get();
  s.operationMode = volume::kModeCompleteDeletion;
  s.wipe = {};
  if (fat::WalkFatExfat(s) && s.cancelled == 0) {
    if (s.fsKind == volume::kExfat) fat::WipeOrphanedExfatDirectories(s);
    else fat::WipeOrphanedFatDirectories(s);
  }
  s.operationMode = volume::kModeSearch;
  s.progress = nullptr;
  s.fatWork.clear();
  s.volumeHandle.reset();  // no write access outlives the command
  if (summary) *summary = {s.wipe.entries, s.wipe.failedWrites};
  if (s.wipe.failedWrites > 0) {
    Tell(c.messages, std::string(kWipeWriteFailedMessage) + "\n\n書き込めなかった回数: " +
                         std::to_string(s.wipe.failedWrites) + " (最初はセクタ " +
                         std::to_string(s.wipe.firstFailedSector) +
                         (s.wipe.error.empty() ? std::string() : ": " + s.wipe.error) + ")\n上書きしたエントリ: " +
                         std::to_string(s.wipe.entries) + " 件");
    return 0;
  }
  Tell(c.messages, std::string(kWipeDoneMessage) + "\n\n上書きしたエントリ: " + std::to_string(s.wipe.entries) + " 件");
  return 1;
}

}  // namespace vellum::app
