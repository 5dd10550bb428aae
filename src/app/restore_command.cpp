#include "app/restore_command.h"

#include <cstdio>
#include <filesystem>

#include "app/parse_number.h"
#include "content/cluster_follow.h"
#include "fat/cluster_runs.h"
#include "fat/exfat_walk.h"
#include "fat/fat_walk.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/ntfs_restore.h"
#include "volume/sector_io.h"
#include "platform/posix/device_identity.h"
#include "platform/posix/mount_check.h"
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

// The row's folder below the destination: its folder column without the
// volume's root text.
bool RowParent(const ScanState& s, const fat::RestoreTarget& target, const ResultList& rows, size_t row,
               Messages& messages, std::string& parent) {
  std::string folder(rows.Cell(row, 1));
  if (folder.compare(0, s.rootPath.size(), s.rootPath) == 0) folder.erase(0, s.rootPath.size());
  if (folder.empty()) {
    parent = target.root;
    return true;
  }
  parent = restore::JoinDestination(target.root, folder, messages);
  return !parent.empty();
}

bool RestoreFatFamilyRow(CommandContext& c, const fat::RestoreTarget& target, const ResultList& rows, size_t row) {
  ScanState& s = c.state;
  const std::string name(rows.Cell(row, 0));
  const uint64_t cluster = ParseUnsigned64(rows.Cell(row, 5));
  const uint64_t size = ParseUnsigned64(rows.Cell(row, 2));
  const uint32_t word = rows.DataWord(row);
  const bool folder = (word & volume::kRowFolder) != 0;
  uint16_t date = 0, time = 0;
  std::string parent;
  if (!RowDosTime(rows.Cell(row, 4), date, time) || !RowParent(s, target, rows, row, c.messages, parent))
    return false;
  if (s.fsKind == volume::kExfat) {
    const bool chained = (word & volume::kRowFatChain) != 0;
    if (!fat::RestoreExfatEntrySet(s, target, name, parent, folder, static_cast<uint32_t>(cluster), size, chained,
                                   date, time))
      return true;
    if (folder) {
      fat::ExfatWalk walk(s);
      walk.SetRestoreTarget(&target);
      walk.WalkExfatDirectory(static_cast<uint32_t>(cluster), size, chained, parent + "/" + name, false, true);
    }
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
  const std::string path = parent + "/" + name;
  walk.WalkFatDirectory(cluster, &path, true);
  return true;
}

bool RestoreNtfsRow(CommandContext& c, const fat::RestoreTarget& target, const ResultList& rows, size_t row,
                    RestoreSummary& summary) {
  ScanState& s = c.state;
  std::string parent;
  if (!RowParent(s, target, rows, row, c.messages, parent)) return false;
  ntfs::NtfsRecordSource source;
  source.recordNumber = static_cast<uint32_t>(ParseUnsigned64(rows.Cell(row, 5)));
  source.cluster = ParseUnsigned64(rows.Cell(row, 6));
  source.slot = static_cast<uint32_t>(ParseUnsigned64(rows.Cell(row, 7)));
  if ((rows.DataWord(row) & volume::kRowFolder) == 0) {
    ntfs::RestoreNtfsFile(s, source, parent, c.messages, summary.ntfsTally);  // skips are counted there
    return true;
  }
  // A deleted folder: made under its own name, then everything below it.
  const std::string name(rows.Cell(row, 0));
  if (source.recordNumber == 0 || !restore::IsSafeComponent(name)) return false;
  const std::string folder = parent + "/" + name;
  if (!restore::EnsureFolder(folder, c.messages)) return false;
  ++summary.ntfsTally.foldersRestored;
  ntfs::RestoreNtfsFolder(s, source.recordNumber, folder, c.messages, summary.ntfsTally);
  return true;
}

// A file recognised by content analysis: its data is taken from its first
// cluster on along the same rule the analysis measured it with (free
// clusters only when the first is free, else consecutive ones).
bool RestoreContentRow(CommandContext& c, const fat::RestoreTarget& target, const ResultList& rows, size_t row,
                       RestoreSummary& summary) {
  ScanState& s = c.state;
  const std::string name(rows.Cell(row, 0));
  uint64_t cluster = ParseUnsigned64(rows.Cell(row, s.fsKind == volume::kNtfs ? 6 : 5));
  uint64_t size = ParseUnsigned64(rows.Cell(row, 2));
  std::string parent;
  if (!restore::IsSafeComponent(name) || !RowParent(s, target, rows, row, c.messages, parent)) return false;
  if (s.fsKind == volume::kNtfs) ntfs::LoadNtfsClusterBitmap(s);
  const bool followFree = content::IsClusterFree(s, cluster);
  const std::string path = restore::MakeUniqueName(parent + "/" + name);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    ++summary.tally.failed;
    return true;
  }
  std::vector<uint8_t> bytes(s.clusterBytes);
  bool written = true;
  while (size > 0 && cluster != 0 && cluster <= s.lastCluster && written) {
    if (s.progress && s.progress->PumpAndCheckCancel()) s.cancelled = 1;
    if (s.cancelled) break;
    volume::ReadCluster(s, cluster, bytes);
    const uint64_t n = std::min<uint64_t>(size, bytes.size());
    written = std::fwrite(bytes.data(), 1, n, file) == n;
    size -= n;
    if (!volume::NextCandidateCluster(s, cluster, followFree)) break;
  }
  std::fclose(file);
  s.clusterBitmap.clear();
  if (!written) {
    c.messages.Show(fat::kWriteFailedMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
    ++summary.tally.failed;
  } else {
    ++summary.tally.files;
  }
  return true;
}

void RestoreRows(CommandContext& c, const RestoreRequest& request, const fat::RestoreTarget& target,
                 RestoreSummary& summary) {
  const ResultList& rows = *request.rows;
  std::vector<size_t> chosen = request.rowIndices;
  if (chosen.empty())
    for (size_t i = 0; i < rows.RowCount(); ++i) chosen.push_back(i);
  const bool ntfsVolume = c.state.fsKind == volume::kNtfs;
  for (size_t row : chosen) {
    if (c.state.cancelled) break;
    // Rows of recognised contents carry "<不明>" as their time: no entry or
    // record to restore from, only a cluster and a size.
    const bool contentRow = row < rows.RowCount() && rows.Cell(row, 4) == "<不明>";
    const bool restored = row < rows.RowCount() &&
                          (contentRow   ? RestoreContentRow(c, target, rows, row, summary)
                           : ntfsVolume ? RestoreNtfsRow(c, target, rows, row, summary)
                                        : RestoreFatFamilyRow(c, target, rows, row));
    if (!restored) ++summary.rowsNotRestorable;
  }
}

}  // namespace

std::string SummaryText(const RestoreSummary& s) {
  const fat::RestoreTally& t = s.tally;
  const ntfs::RestoreTally& n = s.ntfsTally;
  const uint32_t unsafe = t.skippedUnsafeName + n.skippedUnsafeName;
  const uint32_t tooLong = t.skippedPathTooLong + n.skippedPathTooLong;
  const uint32_t noData = t.skippedNoData + n.skippedUnreadable;
  const uint32_t failed = t.failed + n.skippedWriteFailed;
  std::string text = s.cancelled ? "復元を中止しました。" : "復元しました。";
  text += "\n\nファイル: " + std::to_string(t.files + n.filesRestored) + " 件\nフォルダ: " +
          std::to_string(t.folders + n.foldersRestored) + " 件";
  if (n.filesIncomplete) text += "\n  読めない部分を 0 で埋めたファイル: " + std::to_string(n.filesIncomplete) + " 件";
  const uint32_t skipped = unsafe + tooLong + noData + failed + s.rowsNotRestorable;
  if (skipped == 0) return text;
  text += "\n\nスキップ: " + std::to_string(skipped) + " 件";
  if (unsafe) text += "\n  使えない名前: " + std::to_string(unsafe) + " 件";
  if (tooLong) text += "\n  パスが長すぎる: " + std::to_string(tooLong) + " 件";
  if (noData) text += "\n  データが見つからない: " + std::to_string(noData) + " 件";
  if (failed) text += "\n  書き込みに失敗: " + std::to_string(failed) + " 件";
  if (s.rowsNotRestorable) text += "\n  未対応の行: " + std::to_string(s.rowsNotRestorable) + " 件";
  return text;
}

int OnRestore(CommandContext& c, const RestoreRequest& request, RestoreSummary& summary) {
  const volume::DriveEntry* drive = SelectedDrive(c);
  if (drive && platform::IsOnSourceDevice(request.destination, drive->sourcePath)) {
    Tell(c.messages, kDestinationOnSourceMessage);
    return 0;
  }
  std::error_code ec;
  std::filesystem::create_directories(request.destination, ec);
  if (!std::filesystem::is_directory(request.destination, ec)) {
    Tell(c.messages, kDestinationFailedMessage);
    return 0;
  }
  if (!Reopen(c, platform::OpenAccess::ReadOnly)) return 0;
  ScanState& s = c.state;
  if (s.fsKind == volume::kNtfs && !request.rows && request.ntfsFolder == 0) {
    Tell(c.messages, kNtfsFolderNeededMessage);
    return 0;
  }
  std::unique_ptr<Progress> progress = c.newProgress ? c.newProgress() : nullptr;
  s.progress = progress.get();
  s.operationMode = volume::kModeRestore;
  s.cancelled = 0;
  fat::RestoreTarget target{request.destination, &c.messages, &summary.tally};
  if (request.rows) {
    if (s.progress) s.progress->OpenProgress();
    RestoreRows(c, request, target, summary);
    if (s.progress) s.progress->CloseProgress();
  } else if (s.fsKind != volume::kNtfs) {
    fat::WalkFatExfat(s, &target);
  } else {
    if (s.progress) s.progress->OpenProgress();
    ntfs::RestoreNtfsFolder(s, request.ntfsFolder, request.destination, c.messages, summary.ntfsTally);
    if (s.progress) s.progress->CloseProgress();
  }
  summary.cancelled = s.cancelled != 0;
  s.operationMode = volume::kModeSearch;
  s.progress = nullptr;
  s.fatWork.clear();
  return 1;
}

int OnCompleteDeletion(CommandContext& c) {
  const volume::DriveEntry* drive = SelectedDrive(c);
  if (!Reopen(c, platform::OpenAccess::ReadOnly)) return 0;
  ScanState& s = c.state;
  if (s.fsKind == volume::kNtfs) {
    Tell(c.messages, kWipeNtfsMessage);
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
  fat::WalkFatExfat(s);
  s.operationMode = volume::kModeSearch;
  s.progress = nullptr;
  s.fatWork.clear();
  s.volumeHandle.reset();  // no write access outlives the command
  Tell(c.messages, kWipeDoneMessage);
  return 1;
}

}  // namespace vellum::app
