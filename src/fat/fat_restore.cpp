#include "fat/fat_restore.h"

#include <ctime>
#include <vector>

#include "fat/cluster_runs.h"
#include "fat/fat_entry.h"
#include "restore/restore_output.h"
#include "volume/sector_io.h"

namespace vellum::fat {

namespace {

// Messages go to the target's sink; a target without one stays quiet.
class SilentMessages : public Messages {
 public:
  MessageAnswer Show(std::string_view, MessageButtons, MessageIcon, MessageAnswer answer) override { return answer; }
};

Messages& MessagesOf(const RestoreTarget& target) {
  static SilentMessages silent;
  return target.messages ? *target.messages : silent;
}

// A restore without a record of its own (a test calling one step) still
// needs somewhere to put what happened.
restore::Outcomes& OutcomesOf(const RestoreTarget& target) {
  static thread_local restore::Outcomes scratch;
  return target.outcomes ? *target.outcomes : scratch;
}

bool CancelRequested(ScanState& state) {
  if (state.progress && state.progress->PumpAndCheckCancel()) state.cancelled = 1;
  return state.cancelled != 0;
}

bool PathTooLong(const std::string& parent, const std::string& name) {
  return parent.size() + 1 + name.size() > restore::kMaxPathBytes || name.size() > restore::kMaxComponentBytes;
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
    SkipPathTooLong(target, parent + "/" + name);
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
    if (CancelRequested(state)) return false;
    const uint64_t n = std::min<uint64_t>(size, zeros.size());
    if (!file.WriteUnreadable(std::span<const uint8_t>(zeros.data(), n))) return false;
    size -= n;
  }
  return true;
}

bool WriteCluster(restore::RestoredFile& file, bool read, const std::vector<uint8_t>& cluster, uint64_t n) {
  const std::span<const uint8_t> bytes(cluster.data(), n);
  return read ? file.Write(bytes) : file.WriteUnreadable(bytes);
}

std::string Key(std::string_view kind, const std::string& path, uint64_t cluster) {
  return std::string(kind) + ":" + path + ":" + std::to_string(cluster);
}

// A deleted folder: made (or found) at the destination. A folder that
// exists already is left as it is; a new one gets its time once its
// contents are written.
bool RestoreFolder(const RestoreTarget& target, const std::string& parent, const std::string& name,
                   timespec written, bool keepExisting) {
  restore::Outcomes& outcomes = OutcomesOf(target);
  const std::string item = parent + "/" + name;
  const std::string folder = ResolveFolder(target, parent, item);
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

void SkipPathTooLong(const RestoreTarget& target, const std::string& path) {
  if (target.messages)
    target.messages->Show(restore::kPathTooLongMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
  OutcomesOf(target).Skipped(path, restore::kReasonPathTooLong);
}

std::string ResolveFolder(const RestoreTarget& target, const std::string& parent, const std::string& item) {
  if (parent == target.root) return parent;
  restore::Outcomes& outcomes = OutcomesOf(target);
  if (parent.size() <= target.root.size() || parent.compare(0, target.root.size() + 1, target.root + "/") != 0) {
    outcomes.Skipped(item, restore::kReasonUnsafeName);
    return {};
  }
  return restore::JoinRecorded(target.root, parent.substr(target.root.size() + 1), MessagesOf(target), outcomes,
                               item);
}

bool WriteRestoredFile(ScanState& state, const RestoreTarget& target, const std::string& folder,
                       const std::string& name, timespec written,
                       const std::function<bool(restore::RestoredFile&)>& copy) {
  restore::Outcomes& outcomes = OutcomesOf(target);
  restore::RestoredFile file;
  if (!file.Create(folder, name)) {
    outcomes.Failed(file.Path(), restore::WriteFailureReason(file.Error()));
    return false;
  }
  if (state.progress) state.progress->SetFileName(name);
  file.SetWrittenObserver([&state](uint64_t bytes) { state.AddRestoredBytes(bytes); });
  const bool copied = copy(file);
  if (state.cancelled) {
    file.Abandon();  // a file cut short by Cancel must not look restored
    return false;
  }
  return file.Finish(outcomes, written) && copied;
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
  std::vector<uint8_t> cluster(state.clusterBytes);
  DeletedFileRun run(state, firstCluster, size);
  uint64_t c = 0;
  if (size > 0 && !run.Next(c)) return PadUnreadable(state, file, size);
  while (size > 0) {
    if (CancelRequested(state)) return false;
    const bool read = volume::ReadCluster(state, c, cluster);
    uint64_t n = size;
    uint64_t next = 0;
    if (size > state.clusterBytes) {
      n = state.clusterBytes;
      // A run that would wrap round a second time ends before this cluster.
      if (!run.Next(next)) return PadUnreadable(state, file, size);
    }
    if (!WriteCluster(file, read, cluster, n)) return false;
    size -= n;
    c = next;
  }
  return true;
}

bool RestoreFatEntry(ScanState& state, const RestoreTarget& target, ByteView entry, const std::string& name,
                     const std::string& parent) {
  if (!UsableName(target, parent, name)) return false;
  restore::Outcomes& outcomes = OutcomesOf(target);
  const std::string destination = parent + "/" + name;
  const uint64_t first = FatEntryFirstCluster(entry);
  const std::string key = Key("fat", destination, first);
  if (outcomes.AlreadyDone(key)) return true;
  outcomes.MarkDone(key);
  const timespec written = FatTimeToTimespec(EntryDate(entry), EntryTime(entry));
  if (IsDirectoryEntry(entry)) return RestoreFolder(target, parent, name, written, true);
  const uint64_t size = EntrySize(entry);
  if (size != 0 && (first < 2 || first > state.lastCluster)) {
    outcomes.Skipped(destination, restore::kReasonNoData);
    return false;
  }
  if (size > state.dataAreaBytes) {
    outcomes.Skipped(destination, restore::kReasonLargerThanVolume);
    return false;
  }
  const std::string folder = ResolveFolder(target, parent, destination);
  if (folder.empty()) return false;
  return WriteRestoredFile(state, target, folder, name, written, [&](restore::RestoredFile& file) {
    return CopyFatFileData(state, file, first, size);
  });
}

bool CopyExfatFileData(ScanState& state, restore::RestoredFile& file, uint32_t firstCluster, uint64_t size,
                       bool fatChain) {
  std::vector<uint8_t> cluster(state.clusterBytes);
  ExfatRun run(state, firstCluster, fatChain ? 1 : 0, ExfatRun::Kind::FileData);
  for (uint64_t c; size > 0 && run.Next(c);) {
    if (CancelRequested(state)) return false;
    const bool read = volume::ReadCluster(state, c, cluster);
    const uint64_t n = std::min<uint64_t>(size, state.clusterBytes);
    if (!WriteCluster(file, read, cluster, n)) return false;
    size -= n;
  }
  return PadUnreadable(state, file, size);
}

bool RestoreExfatEntrySet(ScanState& state, const RestoreTarget& target, const std::string& name,
                          const std::string& parent, bool folder, uint32_t firstCluster, uint64_t size,
                          bool fatChain, uint16_t date, uint16_t time) {
  if (!UsableName(target, parent, name)) return false;
  restore::Outcomes& outcomes = OutcomesOf(target);
  const std::string destination = parent + "/" + name;
  const std::string key = Key("exfat", destination, firstCluster);
  if (outcomes.AlreadyDone(key)) return true;
  outcomes.MarkDone(key);
  const timespec written = FatTimeToTimespec(date, time);
  if (folder) return RestoreFolder(target, parent, name, written, false);
  if (size > state.dataAreaBytes) {
    outcomes.Skipped(destination, restore::kReasonLargerThanVolume);
    return false;
  }
  const std::string into = ResolveFolder(target, parent, destination);
  if (into.empty()) return false;
  // Two deleted files of one name must both survive: the second one gets a
  // name of its own instead of replacing the first.
  return WriteRestoredFile(state, target, into, name, written, [&](restore::RestoredFile& file) {
    return CopyExfatFileData(state, file, firstCluster, size, fatChain);
  });
}

}  // namespace vellum::fat
