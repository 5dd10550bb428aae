#include "fat/exfat_walk.h"

#include <algorithm>

#include "fat/cluster_runs.h"
#include "fat/directory_cluster.h"
#include "fat/exfat_time.h"
#include "fat/fat_restore.h"
#include "fat/scan_slots.h"
#include "fat/wipe.h"
#include "platform/codepage.h"
#include "platform/file_system.h"
#include "fat/exfat_listing.h"
#include "restore/restore_output.h"
#include "restore/restore_target.h"
#include "volume/exfat_layout.h"
#include "volume/listing.h"
#include "volume/sector_io.h"

namespace vellum::fat {

namespace {

using namespace exfat_layout;
// exFAT names hold at most 255 units; a longer run of name entries is damage.
constexpr size_t kMaxNameUnits = 255;
// A directory of unknown size is read for at most this many clusters.
constexpr uint64_t kMaxUnsizedClusters = 1000000;
// exFAT directories hold at most 256 MiB of entries.
constexpr uint64_t kMaxDirectoryBytes = 256ull << 20;

std::string ToUtf8(const std::u16string& units) {
  const size_t end = std::min(units.find(u'\0'), units.size());
  std::string utf8;
  platform::Utf16ToUtf8(std::span<const uint16_t>(reinterpret_cast<const uint16_t*>(units.data()), end), utf8);
  return utf8;
}

// An entry shorter than its fields is counted; the walk goes on as it does
// after any entry.
bool CountCutEntry(ScanState& state, const FieldReader& r) {
  if (!r.Ok()) ++state.truncatedStructures;
  return true;
}

// The bytes ran out inside a set: the entries its File entry counts on lay
// past them. It is closed there as any set is, and counted.
void CountCutSet(ScanState& state, const ExfatEntrySet& set) {
  if (set.inSet && set.secondariesTaken < set.secondaries) ++state.truncatedStructures;
}

// A Stream Extension gives the set its cluster and size; one that disagrees
// with the set drops it (a live set, or one that is partly live).
void TakeStream(FieldReader& r, ExfatEntrySet& set, bool disagrees) {
  if (disagrees) {
    set.inSet = false;
  } else {
    set.fatChain = r.Read(kGeneralFlags) == kFatChainFlags;
    set.size = r.Read(kValidDataLength);
    set.firstCluster = r.Read(kFirstCluster);
    ++set.secondariesTaken;
  }
  set.name.clear();
}

void TakeName(FieldReader& r, ExfatEntrySet& set, bool disagrees) {
  if (disagrees) {
    set.inSet = false;
    set.name.clear();
    return;
  }
  for (size_t i = 0; i < kUnitsPerNameEntry && set.name.size() < kMaxNameUnits; ++i)
    set.name.push_back(static_cast<char16_t>(r.U16(kNameUnitsOffset + 2 * i)));
  ++set.secondariesTaken;
}

// A File entry opens a set when the walk gathers it. Live files of live
// folders are passed over here: the thorough search gathers only the live
// sets it must enter.
void OpenSet(FieldReader& r, ExfatEntrySet& set, bool live, bool insideDeleted, bool liveFolders) {
  const uint8_t secondaries = r.Read(kSecondaryCount);
  const uint32_t attributes = r.Read(kFileAttributes);
  const uint16_t time = r.Read(kModifyTime);
  const uint16_t date = r.Read(kModifyDate);
  const uint8_t tenMs = r.Read(kModify10ms);
  const uint8_t utcOffset = r.Read(kModifyUtcOffset);
  const bool liveFolder = liveFolders && (attributes & volume::kAttrDirectory) != 0;
  const bool gathered = insideDeleted || !live || liveFolder;
  set.live = gathered && live;
  if (!gathered) return;
  set.attributes = attributes;
  set.time = time;
  set.date = date;
  set.tenMs = tenMs;
  set.utcOffset = utcOffset;
  set.inSet = true;
  set.firstCluster = 0;
  set.size = 0;
  set.secondaries = secondaries;
  set.secondariesTaken = 0;
}

}  // namespace

ExfatWalk::ExfatWalk(ScanState& state)
    : state_(state),
      liveFolders_(state.options.thorough),
      clustersLeft_(state.lastCluster < UINT64_MAX / 4 ? 2 * (state.lastCluster + 1) : UINT64_MAX) {}

std::string ExfatWalk::RootPrefix() const {
  return state_.operationMode == volume::kModeRestore && target_ ? target_->root + "/" : state_.rootPath;
}

void ExfatWalk::WalkRoot() {
  // The root's size is nowhere but in its FAT chain, which it always has; the
  // whole chain is read so that deleted entries past its first cluster count too.
  // Complete deletion enters live folders too: deleted files of a live
  // folder keep their names otherwise, and the user was told they are gone.
  // Taking every set as if inside a deleted folder records every folder.
  const bool everyFolder = state_.operationMode == volume::kModeCompleteDeletion;
  state_.exfatWalkedDirectoryClusters.clear();
  WalkExfatDirectory(state_.rootCluster, 0, true, RootPrefix(), true, everyFolder);
}

bool ExfatWalk::TakeEntry(ByteView e, ExfatEntrySet& set, std::vector<ExfatSubdirectory>& subdirectories,
                          const std::string& path, bool insideDeleted) {
  // Every field is read in the order it stands, so an entry cut short reads 0
  // from where it ends on; the walks only ever hand over whole entries.
  FieldReader r(e);
  const uint8_t type = r.Read(kEntryType);
  const bool live = (type & kInUseBit) != 0;
  // Outside deleted folders every entry of a set must agree with its File
  // entry: deleted, or (a live folder of the thorough search) in use.
  const bool disagrees = !insideDeleted && live != set.live;
  if (type == kStreamLive || type == kStreamDeleted) {
    // A set has one Stream Extension. Another after all the entries its File
    // entry counts is what is left of a set whose File entry was written
    // over: it must not take this set's cluster, size and name.
    if (set.inSet && set.secondaries != 0 && set.secondariesTaken >= set.secondaries)
      CloseSet(set, subdirectories, path, insideDeleted);
    TakeStream(r, set, disagrees);
    return CountCutEntry(state_, r);
  }
  if (type == kNameLive || type == kNameDeleted) {
    TakeName(r, set, disagrees);
    return CountCutEntry(state_, r);
  }
  // Any other entry ends the set being gathered (nothing to close when none is).
  if (set.inSet || !set.name.empty()) CloseSet(set, subdirectories, path, insideDeleted);
  if (type == kFileLive || type == kFileDeleted) {
    OpenSet(r, set, live, insideDeleted, liveFolders_);
    return CountCutEntry(state_, r);
  }
  return type != 0x00;
}

void ExfatWalk::CloseSet(ExfatEntrySet& set, std::vector<ExfatSubdirectory>& subdirectories,
                         const std::string& path, bool insideDeleted) {
  if (set.inSet && set.firstCluster != 0 && !set.name.empty()) {
    const std::string name = ToUtf8(set.name);
    if (!name.empty()) {
      if (!set.live) ++deletedSetsTaken_;
      ProcessExfatEntrySet(set, name, subdirectories, path, insideDeleted);
    }
  }
  set.inSet = false;
  set.live = false;
  set.name.clear();
}

size_t ExfatWalk::TakeScannedCluster(ByteView cluster, const std::string& folder, uint64_t number) {
  const size_t before = deletedSetsTaken_;
  scannedCluster_ = number;
  ExfatEntrySet set;
  std::vector<ExfatSubdirectory> none;
  for (size_t at = 0; at + kEntryBytes <= cluster.size(); at += kEntryBytes) {
    // With no set open, entries before the next File entry change nothing
    // that a set read later uses: they are passed over together.
    if (!set.inSet && set.name.empty()) at = NextExfatSetSlot(cluster, at);
    if (at + kEntryBytes > cluster.size()) break;
    if (!TakeEntry(cluster.subspan(at, kEntryBytes), set, none, folder, true)) break;
  }
  CountCutSet(state_, set);
  CloseSet(set, none, folder, true);
  scannedCluster_ = 0;
  return deletedSetsTaken_ - before;
}

void ExfatWalk::ProcessExfatEntrySet(const ExfatEntrySet& set, const std::string& name,
                                     std::vector<ExfatSubdirectory>& subdirectories, const std::string& path,
                                     bool insideDeleted) {
  const bool folder = (set.attributes & volume::kAttrDirectory) != 0;
  // A live folder of the thorough search is only entered; its path is made
  // at the destination by the first thing restored inside it.
  const bool liveFolder = set.live && !insideDeleted;
  // A restore of what a cluster scan read takes only what its listing would.
  if (state_.clusterScan != 0 && state_.operationMode == volume::kModeRestore &&
      !IsListableOrphan(state_, ItemOf(set, name, path)))
    return;
  bool taken = false;
  if (!liveFolder && state_.operationMode == volume::kModeSearch) {
    const FoundEntry item = ItemOf(set, name, path);
    if (found_) (*found_)(item);
    taken = found_ || AddRow(state_, item, volume::CutFolderText(path));
  } else if (!liveFolder && state_.operationMode == volume::kModeRestore && target_) {
    taken = RestoreFoundEntry(state_, *target_, ItemOf(set, name, path));
    if (folder && !taken) {
      // A folder that was not made is not entered. Too deep for the
      // destination, what lies below it is counted for the summary.
      if (!restore::PathFits(path + "/" + name))
        restore::OutcomesOf(*target_).SkippedBelow(restore::kReasonPathTooLong, CountSetsBelow(set));
      return;
    }
  }
  if (!folder) return;
  // A folder a scanned cluster names: its own clusters' sets go below it.
  if (taken && placement_ && state_.clusterScan != 0)
    placement_->NoteFolder(set.firstCluster, set.size, path + platform::kPathSeparator + name);
  ExfatSubdirectory sub;
  sub.name = name;
  sub.firstCluster = set.firstCluster;
  sub.size = set.size;
  sub.fatChain = set.fatChain;
  sub.insideDeleted = !liveFolder && (insideDeleted || (set.attributes & 0x80) != 0);
  sub.deleted = !set.live;
  subdirectories.push_back(std::move(sub));
}

uint32_t ExfatWalk::CountSetsBelow(const ExfatEntrySet& set) {
  uint32_t count = 0;
  const FoundEntryObserver counter = [&count](const FoundEntry&) { ++count; };
  const uint8_t mode = state_.operationMode;
  state_.operationMode = volume::kModeSearch;
  ExfatWalk below(state_);
  below.SetFoundObserver(&counter);
  below.WalkExfatDirectory(set.firstCluster, set.size, set.fatChain, std::string(), false, true);
  state_.operationMode = mode;
  return count;
}

FoundEntry ExfatWalk::ItemOf(const ExfatEntrySet& set, const std::string& name, const std::string& path) const {
  FoundEntry e;
  e.name = name;
  e.folder = FolderBelow(RootPrefix(), volume::CutFolderText(path));
  e.firstCluster = set.firstCluster;
  e.size = set.size;
  const LocalDosTime written = ExfatLocalTime(set.date, set.time, set.tenMs, set.utcOffset);
  e.dosDate = written.date;
  e.dosTime = written.time;
  e.tenMs = written.tenMs;
  e.isFolder = (set.attributes & volume::kAttrDirectory) != 0;
  e.fatChain = set.fatChain;
  e.slotCluster = scannedCluster_;
  return e;
}

void ExfatWalk::WalkExfatDirectory(uint32_t firstCluster, uint64_t size, bool fatChain, const std::string& path,
                                   bool isRoot, bool insideDeleted) {
  // One path text serves the whole walk: each directory's path is a prefix of
  // it, so a deep tree costs no copy of every ancestor's path per level.
  std::string current = path;
  std::vector<ExfatFrame> work;
  ExfatSubdirectory first;
  first.firstCluster = firstCluster;
  first.size = size;
  first.fatChain = fatChain;
  first.insideDeleted = insideDeleted;
  first.deleted = !isRoot;  // the root, or a listed deleted folder
  ReadExfatDirectory(first, current, isRoot, work);
  while (!work.empty()) {
    ExfatFrame& top = work.back();
    // The root's progress advances once each of its subdirectories is done.
    if (top.childEntered && top.isRoot && volume::CancelledAt(state_, top.next, true))
      break;  // the root is the bottom of the list: the walk ends
    top.childEntered = false;
    if (top.next >= top.subdirectories.size()) {
      work.pop_back();
      continue;
    }
    const ExfatSubdirectory sub = std::move(top.subdirectories[top.next++]);
    current.resize(top.pathLength);
    if (!top.isRoot) current += platform::kPathSeparator;
    current += sub.name;
    top.childEntered = true;
    // A directory with nothing left to enter need not wait for its last
    // child, so a chain of single folders keeps the list short.
    if (!top.isRoot && top.next == top.subdirectories.size()) work.pop_back();
    ReadExfatDirectory(sub, current, false, work);
  }
}

namespace {

// The clusters of a directory: a live one's as its chain gives them; a
// deleted one's as a deleted file's are predicted, never a cluster in use
// again, and a predicted cluster only when it reads as directory entries.
class DirectoryRun {
 public:
  DirectoryRun(const ScanState& state, const ExfatSubdirectory& d)
      : deleted_(d.deleted),
        live_(state, d.firstCluster, d.fatChain ? 1 : 0, ExfatRun::Kind::Directory),
        gone_(state, d.firstCluster, d.fatChain ? 1 : 0) {}

  bool Next(DeletedExfatRun::Step& step) {
    if (deleted_) return gone_.Next(step);
    step.source = DeletedExfatRun::Source::kRecorded;
    return live_.Next(step.cluster);
  }

 private:
  bool deleted_;
  ExfatRun live_;
  DeletedExfatRun gone_;
};

}  // namespace

void ExfatWalk::NoteHoles(uint64_t cluster, const std::string& path) {
  const uint64_t at = volume::ClusterToSector(state_, cluster) * state_.bytesPerSector;
  uint64_t lost = 0;
  for (const volume::ByteRange& r : volume::UnreadableIn(state_.readDamage, at, at + cluster_.size())) {
    clusterHoles_.push_back({r.first - at, r.end - at});
    lost += r.end - r.first;
  }
  if (lost == 0) return;
  const std::string folder = FolderBelow(state_.rootPath, path);
  volume::NoteDamagedFolder(state_.readDamage, folder.empty() ? state_.rootPath : folder, lost);
}

bool ExfatWalk::TakeDirectoryCluster(uint64_t c, ExfatEntrySet& set, std::vector<ExfatSubdirectory>& subdirectories,
                                     const std::string& path, bool insideDeleted) {
  bool ended = false;
  for (size_t at = 0; at + kEntryBytes <= cluster_.size() && !ended; at += kEntryBytes) {
    if (!clusterHoles_.empty() && std::any_of(clusterHoles_.begin(), clusterHoles_.end(), [at](const volume::ByteRange& h) {
          return at >= h.first && at < h.end;
        })) {
      set.inSet = false;  // a set cut by the hole cannot be trusted
      continue;
    }
    ended = !TakeEntry(ByteView(cluster_).subspan(at, kEntryBytes), set, subdirectories, path, insideDeleted);
  }
  if (state_.operationMode == volume::kModeCompleteDeletion)
    WipeDeletedExfatEntries(state_, volume::ClusterToSector(state_, c), cluster_);
  // The scans of free clusters that follow leave these sets to the walk.
  state_.exfatWalkedDirectoryClusters.push_back(static_cast<uint32_t>(c));
  return !ended;
}

void ExfatWalk::ReadExfatDirectory(const ExfatSubdirectory& directory, const std::string& path, bool isRoot,
                                   std::vector<ExfatFrame>& work) {
  if (CancelRequested() || clustersLeft_ == 0) return;
  if (!entered_.insert(directory.firstCluster).second) return;
  const uint64_t size = directory.size;
  const bool insideDeleted = directory.insideDeleted;
  cluster_.resize(state_.clusterBytes);
  std::vector<ExfatSubdirectory> subdirectories;
  ExfatEntrySet set;
  DirectoryRun run(state_, directory);
  uint64_t read = 0, clusters = 0;
  for (DeletedExfatRun::Step step; clustersLeft_ > 0 && run.Next(step);) {
    --clustersLeft_;
    // A cluster in use again holds another directory's entries or a file's
    // bytes: its place in the directory is passed over unread.
    if (step.source != DeletedExfatRun::Source::kInUse) {
      clusterHoles_.clear();
      if (!volume::ReadCluster(state_, step.cluster, cluster_)) NoteHoles(step.cluster, path);
      if (step.source == DeletedExfatRun::Source::kPredicted && !IsExfatDirectoryCluster(cluster_)) break;
      if (!TakeDirectoryCluster(step.cluster, set, subdirectories, path, insideDeleted)) break;
    }
    read += cluster_.size();
    ++clusters;
    if (size != 0 ? read >= size : clusters > kMaxUnsizedClusters) break;
    if (read >= kMaxDirectoryBytes) break;
  }
  CountCutSet(state_, set);
  CloseSet(set, subdirectories, path, insideDeleted);
  if (isRoot && state_.progress) {
    state_.progress->StartPhase("", subdirectories.size() + 1);
    state_.progress->ShowFileLabel();
    if (state_.operationMode == volume::kModeCompleteDeletion) state_.progress->SetFileName("ファイル情報書換中");
  }
  if (subdirectories.empty()) return;
  ExfatFrame frame;
  frame.subdirectories = std::move(subdirectories);
  frame.pathLength = path.size();
  frame.isRoot = isRoot;
  work.push_back(std::move(frame));
}

}  // namespace vellum::fat
