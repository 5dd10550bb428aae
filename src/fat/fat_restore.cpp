#include "fat/fat_restore.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include "fat/cluster_runs.h"
#include "fat/exfat_walk.h"
#include "fat/fat_entry.h"
#include "fat/fat_walk.h"
#include "restore/cluster_transfer.h"
#include "restore/restore_output.h"
#include "volume/cancel.h"
#include "volume/sector_io.h"

namespace vellum::fat {

namespace {

using restore::MessagesOf;
using restore::OutcomesOf;
using restore::RestoreTarget;

bool PathTooLong(const std::string& parent, const std::string& name) {
  return !restore::PathFits(parent + "/" + name);
}

// A name from the disk that may become parent/name: a single safe component
// inside the system's path limits. Refusals are recorded (and a path that
// is too long reported).
bool UsableName(const RestoreTarget& target, const std::string& parent, const std::string& name) {
  if (!restore::IsSafeComponent(name)) {
    OutcomesOf(target).Skipped(parent + "/" + name, restore::kReasonUnsafeName);
    return false;
  }
  if (PathTooLong(parent, name)) {
    restore::SkipPathTooLong(target, parent + "/" + name);
    return false;
  }
  return true;
}

bool Exists(const std::string& path) { return restore::FileExists(path); }

// The bytes of a file the volume can no longer give: zeros of the length
// still owed, so that the file has its recorded size and the gap is named.
bool PadUnreadable(ScanState& state, restore::RestoredFile& file, uint64_t size) {
  std::vector<uint8_t> zeros(std::min<uint64_t>(size, 1 << 20));
  while (size > 0) {
    if (volume::CancelRequested(state)) return false;
    const uint64_t n = std::min<uint64_t>(size, zeros.size());
    if (!file.WriteUnreadable(std::span<const uint8_t>(zeros.data(), n))) return false;
    size -= n;
  }
  return true;
}

// The same destination reached through a row and through its folder's
// walk: on Windows one path may hold '\\' where the other holds '/'.
std::string Key(std::string_view kind, std::string path, uint64_t cluster) {
  std::replace_if(path.begin(), path.end(), platform::IsPathSeparator, '/');
  return std::string(kind) + ":" + path + ":" + std::to_string(cluster);
}

// A deleted folder: made (or found) at the destination. A folder that
// exists already is left as it is; a new one gets its time once its
// contents are written.
bool RestoreFolder(const RestoreTarget& target, const std::string& parent, const std::string& name,
                   timespec written, bool keepExisting) {
  restore::Outcomes& outcomes = OutcomesOf(target);
  const std::string item = parent + "/" + name;
  const std::string folder = restore::ResolveFolder(target, parent, item);
  if (folder.empty()) return false;
  if (keepExisting && (Exists(folder + "/" + name) || Exists(folder + "/" + restore::FullWidthName(name))))
    return true;
  const std::string made = restore::JoinRecorded(folder, name, MessagesOf(target), outcomes, item, true);
  if (made.empty()) return false;
  outcomes.Restored(made, true);
  outcomes.SetFolderTimeLater(made, written);
  return true;
}

}  // namespace

bool RunsPastVolumeEnd(const ScanState& state, const FoundEntry& e) {
  if (e.isFolder || e.size == 0 || state.clusterBytes == 0 || e.firstCluster < 2) return false;
  if (state.fsKind == volume::kExfat && e.fatChain) return false;  // its chain may lead anywhere
  const uint64_t clusters = (e.size - 1) / state.clusterBytes + 1;
  return e.firstCluster > state.lastCluster || clusters - 1 > state.lastCluster - e.firstCluster;
}

timespec FatTimeToTimespec(uint16_t date, uint16_t time) {
  struct tm t {};
  t.tm_year = 80 + (date >> 9);
  t.tm_mon = ((date >> 5) & 15) - 1;
  t.tm_mday = date & 31;
  t.tm_hour = time >> 11;
  t.tm_min = (time >> 5) & 63;
  t.tm_sec = (time & 31) * 2;
  t.tm_isdst = -1;  // FAT keeps local time, with or without daylight saving
  return timespec{std::mktime(&t), 0};
}

bool CopyFatFileData(ScanState& state, restore::RestoredFile& file, uint64_t firstCluster, uint64_t size) {
  restore::ClusterTransfer transfer(state, file);
  DeletedFileRun run(state, firstCluster, size);
  uint64_t c = 0;
  if (size > 0 && !run.Next(c)) return PadUnreadable(state, file, size);
  while (size > 0) {
    if (volume::CancelRequested(state)) return false;
    uint64_t n = size;
    uint64_t next = 0;
    if (size > state.clusterBytes) {
      n = state.clusterBytes;
      // A run that would wrap round a second time ends before this cluster.
      if (!run.Next(next)) return transfer.Flush() && PadUnreadable(state, file, size);
    }
    if (!transfer.Add(c, n)) return false;
    size -= n;
    c = next;
  }
  return transfer.Flush();
}

bool CopyExfatFileData(ScanState& state, restore::RestoredFile& file, uint32_t firstCluster, uint64_t size,
                       bool fatChain) {
  restore::ClusterTransfer transfer(state, file);
  std::vector<uint8_t> cluster(state.clusterBytes);
  DeletedExfatRun run(state, firstCluster, fatChain ? 1 : 0);
  using Source = DeletedExfatRun::Source;
  for (DeletedExfatRun::Step step; size > 0 && run.Next(step);) {
    if (volume::CancelRequested(state)) return false;
    const uint64_t n = std::min<uint64_t>(size, state.clusterBytes);
    size -= n;
    // The clusters of the file's own run go in large transfers.
    if (step.source != Source::kInUse && step.source != Source::kPredicted) {
      if (!transfer.Add(step.cluster, n)) return false;
      continue;
    }
    if (!transfer.Flush()) return false;
    // A cluster in use again holds another file's bytes: never written as this one's.
    if (step.source == Source::kInUse) {
      if (!file.WriteOverwritten(n)) return false;
      continue;
    }
    const bool read = volume::ReadCluster(state, step.cluster, cluster);
    const std::span<const uint8_t> bytes(cluster.data(), n);
    if (!(read ? file.WritePredicted(bytes) : file.WriteUnreadable(bytes))) return false;
  }
  return transfer.Flush() && PadUnreadable(state, file, size);
}

bool RestoreFoundEntry(ScanState& state, const RestoreTarget& target, const FoundEntry& e) {
  const bool exfat = state.fsKind == volume::kExfat;
  const std::string parent = restore::ParentOf(target, e.folder);
  if (!UsableName(target, parent, e.name)) return false;
  restore::Outcomes& outcomes = OutcomesOf(target);
  outcomes.SetWalkSource(state.rootPath + (e.folder.empty() ? "" : e.folder + platform::kPathSeparator) + e.name + " (クラスタ " +
                         std::to_string(e.firstCluster) + ")");
  const std::string destination = parent + "/" + e.name;
  const std::string key = Key(exfat ? "exfat" : "fat", destination, e.firstCluster);
  if (outcomes.AlreadyDone(key)) return true;
  outcomes.MarkDone(key);
  timespec written = FatTimeToTimespec(e.dosDate, e.dosTime);
  written.tv_sec += e.tenMs / 100;
  written.tv_nsec = (e.tenMs % 100) * 10'000'000L;
  if (e.isFolder) return RestoreFolder(target, parent, e.name, written, !exfat);
  if (!exfat && e.size != 0 && (e.firstCluster < 2 || e.firstCluster > state.lastCluster)) {
    outcomes.Skipped(destination, restore::kReasonNoData);
    return false;
  }
  if (e.size > state.dataAreaBytes) {
    outcomes.Skipped(destination, restore::kReasonLargerThanVolume);
    return false;
  }
  // Its clusters, read on from the first one, would run off the volume's
  // end: the size is not this file's, and the rest would be other files' bytes.
  if (RunsPastVolumeEnd(state, e)) {
    outcomes.Skipped(destination, restore::kReasonPastVolumeEnd);
    return false;
  }
  const std::string folder = restore::ResolveFolder(target, parent, destination);
  if (folder.empty()) return false;
  // Two deleted files of one name must both survive: the second one gets a
  // name of its own instead of replacing the first.
  return restore::WriteRestoredFile(state, target, folder, e.name, written, [&](restore::RestoredFile& file) {
    return exfat ? CopyExfatFileData(state, file, static_cast<uint32_t>(e.firstCluster), e.size, e.fatChain)
                 : CopyFatFileData(state, file, e.firstCluster, e.size);
  });
}

void RestoreListedEntry(ScanState& state, const RestoreTarget& target, const FoundEntry& e) {
  if (!RestoreFoundEntry(state, target, e) || !e.isFolder) return;
  const std::string path = restore::ParentOf(target, e.folder) + "/" + e.name;
  if (state.fsKind == volume::kExfat) {
    ExfatWalk walk(state);
    walk.SetRestoreTarget(&target);
    walk.WalkExfatDirectory(static_cast<uint32_t>(e.firstCluster), e.size, e.fatChain, path, false, true);
    return;
  }
  if (!ClaimDeletedDirectory(state, e.firstCluster)) return;
  FatWalk walk(state);
  walk.SetRestoreTarget(&target);
  walk.WalkFatDirectory(e.firstCluster, &path, true);
}

}  // namespace vellum::fat
