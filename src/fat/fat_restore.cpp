#include "fat/fat_restore.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include "fat/cluster_runs.h"
#include "fat/fat_entry.h"
#include "restore/restore_output.h"
#include "volume/sector_io.h"

namespace vellum::fat {

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Messages go to the target's sink; a target without one stays quiet.
class SilentMessages : public Messages {
 public:
  MessageAnswer Show(std::string_view, MessageButtons, MessageIcon, MessageAnswer answer) override { return answer; }
};

Messages& MessagesOf(const RestoreTarget& target) {
  static SilentMessages silent;
  return target.messages ? *target.messages : silent;
}

bool CancelRequested(ScanState& state) {
  if (state.progress && state.progress->PumpAndCheckCancel()) state.cancelled = 1;
  return state.cancelled != 0;
}

void Count(uint32_t RestoreTally::*field, const RestoreTarget& target) {
  if (target.tally) ++(target.tally->*field);
}

bool PathTooLong(const std::string& parent, const std::string& name) {
  return parent.size() + 1 + name.size() > restore::kMaxPathBytes || name.size() > restore::kMaxComponentBytes;
}

void ShowPathTooLong(const RestoreTarget& target) {
  if (target.messages)
    target.messages->Show(restore::kPathTooLongMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
  Count(&RestoreTally::skippedPathTooLong, target);
}

// The folder a file goes into. A deleted file of a live folder has no
// restored folder to go into: it is made here, so that such files are not lost.
bool EnsureParent(const RestoreTarget& target, const std::string& parent) {
  if (restore::FileExists(parent)) return true;
  if (parent.size() <= target.root.size() || parent.compare(0, target.root.size(), target.root) != 0) return false;
  return !restore::JoinDestination(target.root, parent.substr(target.root.size() + 1), MessagesOf(target)).empty();
}

bool CreateFolder(const RestoreTarget& target, const std::string& path) {
  return restore::EnsureFolder(path, MessagesOf(target));
}

// A name from the disk that may become parent/name: a single safe component
// inside the system's path limits. Refusals are counted (and a path that is
// too long reported).
bool UsableName(const RestoreTarget& target, const std::string& parent, const std::string& name) {
  if (!restore::IsSafeComponent(name)) {
    Count(&RestoreTally::skippedUnsafeName, target);
    return false;
  }
  if (PathTooLong(parent, name)) {
    ShowPathTooLong(target);
    return false;
  }
  return true;
}

bool WriteAll(FILE* file, const uint8_t* data, size_t n) { return std::fwrite(data, 1, n, file) == n; }

}  // namespace

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

void CopyFatFileData(ScanState& state, const RestoreTarget& target, const std::string& path, uint64_t firstCluster,
                     uint64_t size) {
  File file(std::fopen(path.c_str(), "ab"));
  if (!file) {
    Count(&RestoreTally::failed, target);
    return;
  }
  std::vector<uint8_t> cluster(state.clusterBytes);
  DeletedFileRun run(state, firstCluster, size);
  uint64_t c = 0;
  if (!run.Next(c)) return;
  while (size > 0) {
    if (CancelRequested(state)) return;
    volume::ReadCluster(state, c, cluster);
    uint64_t n = size;
    uint64_t next = 0;
    if (size > state.clusterBytes) {
      n = state.clusterBytes;
      // A run that would wrap round a second time ends before this cluster.
      if (!run.Next(next)) return;
    }
    if (!WriteAll(file.get(), cluster.data(), n)) {
      if (target.messages)
        target.messages->Show(kWriteFailedMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
      Count(&RestoreTally::failed, target);
      return;
    }
    size -= n;
    c = next;
  }
}

bool RestoreFatEntry(ScanState& state, const RestoreTarget& target, ByteView entry, const std::string& name,
                     const std::string& parent) {
  if (!UsableName(target, parent, name)) return false;
  const std::string destination = parent + "/" + name;
  const timespec written = FatTimeToTimespec(EntryDate(entry), EntryTime(entry));
  if (IsDirectoryEntry(entry)) {
    if (restore::FileExists(destination)) return true;  // kept as it is; the walk still enters it
    if (!EnsureParent(target, parent) || !CreateFolder(target, destination)) {
      Count(&RestoreTally::failed, target);
      return false;
    }
    restore::SetFileTimes(destination, std::nullopt, written);
    Count(&RestoreTally::folders, target);
    return true;
  }
  const uint64_t first = FatEntryFirstCluster(entry);
  const uint64_t size = EntrySize(entry);
  if (size != 0 && (first < 2 || first > state.lastCluster)) {
    Count(&RestoreTally::skippedNoData, target);
    return false;
  }
  if (!EnsureParent(target, parent)) {
    Count(&RestoreTally::failed, target);
    return false;
  }
  const std::string unique = restore::MakeUniqueName(destination);
  CopyFatFileData(state, target, unique, first, size);
  restore::SetFileTimes(unique, std::nullopt, written);
  Count(&RestoreTally::files, target);
  return true;
}

void CopyExfatFileData(ScanState& state, const RestoreTarget& target, const std::string& path,
                       uint32_t firstCluster, uint64_t size, bool fatChain) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    Count(&RestoreTally::failed, target);
    return;
  }
  std::vector<uint8_t> cluster(state.clusterBytes);
  ExfatRun run(state, firstCluster, fatChain ? 1 : 0, ExfatRun::Kind::FileData);
  for (uint64_t c; size > 0 && run.Next(c);) {
    if (CancelRequested(state)) return;
    volume::ReadCluster(state, c, cluster);
    const uint64_t n = std::min<uint64_t>(size, state.clusterBytes);
    if (!WriteAll(file.get(), cluster.data(), n)) {
      Count(&RestoreTally::failed, target);
      return;
    }
    size -= n;
  }
}

bool RestoreExfatEntrySet(ScanState& state, const RestoreTarget& target, const std::string& name,
                          const std::string& parent, bool folder, uint32_t firstCluster, uint64_t size,
                          bool fatChain, uint16_t date, uint16_t time) {
  if (!UsableName(target, parent, name)) return false;
  const std::string destination = parent + "/" + name;
  const timespec written = FatTimeToTimespec(date, time);
  if (folder) {
    if (!CreateFolder(target, destination)) {
      Count(&RestoreTally::failed, target);
      return false;
    }
    restore::SetFileTimes(destination, std::nullopt, written);
    Count(&RestoreTally::folders, target);
    return true;
  }
  // Two deleted files of one name must both survive: the second one gets a
  // name of its own instead of replacing the first.
  const std::string unique = restore::MakeUniqueName(destination);
  CopyExfatFileData(state, target, unique, firstCluster, size, fatChain);
  restore::SetFileTimes(unique, std::nullopt, written);
  Count(&RestoreTally::files, target);
  return true;
}

}  // namespace vellum::fat
