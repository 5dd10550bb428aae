#include "fat/fat_walk.h"

#include <algorithm>

#include "fat/cluster_runs.h"
#include "fat/directory_cluster.h"
#include "fat/fat_restore.h"
#include "fat/exfat_walk.h"
#include "fat/orphan_walk.h"
#include "fat/scan_slots.h"
#include "fat/wipe.h"
#include "ntfs/recycle_bin.h"
#include "platform/codepage.h"
#include "platform/file_system.h"
#include "restore/restore_output.h"
#include "volume/listing.h"
#include "volume/orphan_rule.h"
#include "volume/sector_io.h"

namespace vellum::fat {

namespace {

// No FAT directory may hold more than 65536 entries; a longer chain is damage,
// and reading it whole would only fill memory with it.
constexpr size_t kMaxDirectoryBytes = 65536 * kEntryBytes;

bool EndsDirectory(ByteView entry) { return EntryFirstByte(entry) == 0; }

// Number of subdirectory entries before the end of the directory.
size_t CountSubdirectories(ByteView bytes) {
  size_t count = 0;
  for (size_t at = 0; at + kEntryBytes <= bytes.size(); at += kEntryBytes) {
    const ByteView e = bytes.subspan(at, kEntryBytes);
    if (EndsDirectory(e)) break;
    if (IsDirectoryEntry(e) && EntryFirstByte(e) != '.') ++count;
  }
  return count;
}

// Long-name slots still waiting for their short entry when the bytes run
// out: the entry lay past what was read, and the name ends unused. A probe
// counts nothing.
void CountCutLongName(ScanState& state, const LongNameSlots& slots, bool probe) {
  if (slots.Count() > 0 && !probe) ++state.truncatedStructures;
}

}  // namespace

FatWalk::FatWalk(ScanState& state)
    : state_(state), volumeSpanBytes_(uint64_t{state.clusterBytes} * state.lastCluster) {}

std::string FatWalk::RootPrefix() const {
  return state_.operationMode == volume::kModeRestore && target_ ? target_->root + "/" : state_.rootPath;
}

std::string FatWalk::ParentOf(const std::string* parent) const {
  if (parent) return *parent;
  return state_.operationMode == volume::kModeRestore && target_ ? target_->root : state_.rootPath;
}

void FatWalk::WipeDirectory(std::vector<uint8_t>& bytes, const std::vector<uint64_t>& sectors, uint64_t bytesEach) {
  for (size_t i = 0; i < sectors.size() && (i + 1) * bytesEach <= bytes.size(); ++i)
    WipeDeletedFatEntries(state_, sectors[i], MutableBytes(bytes).subspan(i * bytesEach, bytesEach));
}

void FatWalk::NoteHoles(uint64_t volumeOffset, size_t at, size_t length) {
  if (state_.readDamage.ranges.empty()) return;
  for (const volume::ByteRange& r : volume::UnreadableIn(state_.readDamage, volumeOffset, volumeOffset + length))
    holes_.push_back({at + (r.first - volumeOffset), at + (r.end - volumeOffset)});
}

bool FatWalk::InHole(size_t at) const {
  for (const volume::ByteRange& h : holes_)
    if (at >= h.first && at < h.end) return true;
  return false;
}

bool FatWalk::HasEnd(ByteView bytes, size_t at) const {
  if (holes_.empty()) return HasEndOfDirectory(bytes.subspan(at));
  for (; at + kEntryBytes <= bytes.size(); at += kEntryBytes)
    if (Le(bytes, at, fat_layout::kNameFirstByte) == fat_layout::kEndMark && !InHole(at)) return true;
  return false;
}

void FatWalk::NoteDamagedFolder(const std::string* parent) const {
  uint64_t lost = 0;
  for (const volume::ByteRange& h : holes_) lost += h.end - h.first;
  if (lost == 0) return;
  const std::string root = ParentOf(nullptr);
  const std::string folder = parent ? FolderBelow(root, *parent) : std::string();
  volume::NoteDamagedFolder(state_.readDamage, folder.empty() ? state_.rootPath : folder, lost);
}

bool FatWalk::ReadDirectory(uint64_t firstCluster, bool isSubdirectory, bool deleted, std::vector<uint8_t>& bytes,
                            std::vector<uint64_t>& sectors) {
  bytes.clear();
  sectors.clear();
  holes_.clear();
  std::vector<uint8_t> cluster(state_.clusterBytes);
  LiveChain chain(state_, firstCluster);
  for (uint64_t c; bytes.size() < kMaxDirectoryBytes && chain.Next(c);) {
    // What the device could not give is zeros: holes, not the directory's end.
    const size_t at = bytes.size();
    if (!volume::ReadCluster(state_, c, cluster))
      NoteHoles(volume::ClusterToSector(state_, c) * state_.bytesPerSector, at, cluster.size());
    const bool startsWithDot = !cluster.empty() && (cluster[0] == '.' || InHole(at));
    if (expectDotEntry_ && !startsWithDot) return false;
    expectDotEntry_ = false;
    if (isSubdirectory && c == firstCluster && !startsWithDot) return false;
    bytes.insert(bytes.end(), cluster.begin(), cluster.end());
    sectors.push_back(volume::ClusterToSector(state_, c));
    if (HasEnd(bytes, at)) return true;
  }
  if (deleted && state_.options.thorough && !bytes.empty()) ReadDeletedDirectoryTail(firstCluster, bytes, sectors);
  return true;
}

void FatWalk::ReadDeletedDirectoryTail(uint64_t firstCluster, std::vector<uint8_t>& bytes,
                                       std::vector<uint64_t>& sectors) {
  DeletedFileRun run(state_, firstCluster, kMaxDirectoryBytes);
  std::vector<uint8_t> cluster(state_.clusterBytes);
  uint64_t c = 0;
  run.Next(c);  // the first cluster, read already
  while (bytes.size() < kMaxDirectoryBytes && run.Next(c)) {
    // Read by another deleted directory of this command: not this one's.
    if (IsClaimed(state_, c)) continue;
    if (!volume::ReadCluster(state_, c, cluster)) return;
    // Another directory's first cluster is not this one's either.
    if (EntryFirstByte(cluster) == '.') continue;
    if (!IsDirectoryCluster(cluster, state_.lastCluster)) return;
    Claim(state_, c);
    bytes.insert(bytes.end(), cluster.begin(), cluster.end());
    sectors.push_back(volume::ClusterToSector(state_, c));
    if (HasEndOfDirectory(cluster)) return;
  }
}

void FatWalk::WalkFatRoot() {
  const uint64_t bytes = uint64_t{state_.rootDirSectors} * state_.bytesPerSector;
  std::vector<uint8_t> root(std::min<uint64_t>(bytes, kMaxDirectoryBytes));
  holes_.clear();
  if (!volume::ReadSectors(state_, state_.rootDirSector, root.size() / std::max<uint16_t>(state_.bytesPerSector, 1),
                           root))
    NoteHoles(uint64_t{state_.rootDirSector} * state_.bytesPerSector, 0, root.size());
  NoteDamagedFolder(nullptr);
  std::vector<Subdirectory> table;
  table.reserve(CountSubdirectories(root));
  ResetLongName();
  ProcessEntries(root, nullptr, table, false);
  if (state_.operationMode == volume::kModeCompleteDeletion) {
    std::vector<uint64_t> sectors;
    for (uint64_t i = 0; i < root.size() / std::max<uint16_t>(state_.bytesPerSector, 1); ++i)
      sectors.push_back(state_.rootDirSector + i);
    WipeDirectory(root, sectors, state_.bytesPerSector);
  }
  std::vector<FatFrame> work;
  PushFrame(std::move(table), nullptr, false, work);
  EnterSubdirectories(work);
}

void FatWalk::WalkFatDirectory(uint64_t firstCluster, const std::string* parent, bool insideDeleted) {
  std::vector<FatFrame> work;
  ReadFatDirectory(firstCluster, parent, insideDeleted, work);
  EnterSubdirectories(work);
}

void FatWalk::ReadFatDirectory(uint64_t firstCluster, const std::string* parent, bool insideDeleted,
                               std::vector<FatFrame>& work) {
  if (CancelRequested()) return;
  if (state_.operationMode == volume::kModeSearch && !IsClaimed(state_, firstCluster)) Claim(state_, firstCluster);
  if (!entered_.insert(firstCluster).second) {
    expectDotEntry_ = false;
    return;
  }
  std::vector<uint8_t> bytes;
  std::vector<uint64_t> sectors;
  if (!ReadDirectory(firstCluster, parent != nullptr, insideDeleted, bytes, sectors)) return;
  NoteDamagedFolder(parent);
  std::vector<Subdirectory> table;
  table.reserve(CountSubdirectories(bytes));
  ResetLongName();
  ProcessEntries(bytes, parent, table, insideDeleted);
  if (state_.operationMode == volume::kModeCompleteDeletion) WipeDirectory(bytes, sectors, state_.clusterBytes);
  PushFrame(std::move(table), parent, insideDeleted, work);
}

void FatWalk::PushFrame(std::vector<Subdirectory> table, const std::string* parent, bool insideDeleted,
                        std::vector<FatFrame>& work) {
  if (parent == nullptr && state_.progress) {
    state_.progress->StartPhase("", table.size() + 1);
    state_.progress->ShowFileLabel();
    if (state_.operationMode == volume::kModeCompleteDeletion) state_.progress->SetFileName("ファイル情報書換中");
  }
  if (table.empty()) return;
  FatFrame frame;
  frame.table = std::move(table);
  if (parent) frame.path = *parent;
  frame.isRoot = parent == nullptr;
  frame.insideDeleted = insideDeleted;
  work.push_back(std::move(frame));
}

void FatWalk::ProcessEntries(ByteView bytes, const std::string* parent, std::vector<Subdirectory>& table,
                             bool insideDeleted) {
  size_t at = 0;
  for (; at + kEntryBytes <= bytes.size(); at += kEntryBytes) {
    const ByteView e = bytes.subspan(at, kEntryBytes);
    if (!holes_.empty() && InHole(at)) {
      longName_.Reset();  // a name cut by the hole cannot be trusted
      continue;
    }
    if (EndsDirectory(e)) return;
    ProcessFatEntry(e, parent, table, insideDeleted);
    if (state_.cancelled) return;
  }
  CountCutLongName(state_, longName_, probe_);
}

void FatWalk::EnterSubdirectories(std::vector<FatFrame>& work) {
  while (!work.empty()) {
    FatFrame& top = work.back();
    if (top.next >= top.table.size()) {
      work.pop_back();
      continue;
    }
    const size_t i = top.next++;
    const Subdirectory& sub = top.table[i];
    if (sub.firstCluster < 2) continue;
    std::string child;
    if (top.isRoot) {
      if (volume::CancelledAt(state_, i + 1, true)) break;  // the root is the bottom of the list: the walk ends
      child = RootPrefix() + sub.name;
    } else if (!countOnly_) {
      if (platform::Cp932Length(top.path) + platform::Cp932Length(sub.name) + 2 >= kMaxNameBytes) {
        if (!probe_) ++state_.foldersTooDeep;
        continue;
      }
      child = top.path + platform::kPathSeparator + sub.name;
    }
    expectDotEntry_ = true;
    bool flag = top.insideDeleted;
    if (sub.deleted) {
      if (!ClaimDeletedDirectory(state_, sub.firstCluster)) continue;
      flag = true;
      if (state_.options.thorough && deletedFolders_.emplace(sub.firstCluster, child).second)
        enteredFolders_.push_back(sub.firstCluster);
    }
    const uint64_t cluster = sub.firstCluster;
    // A directory with nothing left to enter need not wait for its last child.
    if (!top.isRoot && top.next == top.table.size()) work.pop_back();
    ReadFatDirectory(cluster, &child, flag, work);
  }
}

bool FatWalk::DisplayName(ByteView entry, bool insideDeleted, std::string& name) {
  const bool deleted = EntryFirstByte(entry) == kDeletedMark;
  if (longName_.Count() > 0) {
    std::string longName;
    const bool valid = longName_.Assemble(longName);
    if (LongNameMatches(entry, longName, longName_.FirstChecksum()) ||
        (state_.options.thorough && DeletedLongNameMatches(entry, longName, longName_))) {
      // A long name that is not valid UTF-16 matched its entry but cannot be
      // shown faithfully; an empty name makes the entry fail the name checks.
      name = valid ? longName : std::string();
      return true;
    }
  } else if (!IsDirectoryEntry(entry) && !deleted && !insideDeleted) {
    return false;  // a live file in a live directory: nothing to do
  }
  name = ShortNameText(entry);
  deletedShortName_ = deleted;
  return true;
}

bool FatWalk::RecordSubdirectory(ByteView entry, const std::string& name, const std::string* parent,
                                 std::vector<Subdirectory>& table, bool insideDeleted) {
  const uint64_t f = FatEntryFirstCluster(entry);
  Subdirectory sub;
  const bool pathTooLong = !countOnly_ && parent != nullptr &&
                           platform::Cp932Length(*parent) + platform::Cp932Length(name) >= kMaxNameBytes;
  const bool deleted = EntryFirstByte(entry) == kDeletedMark || insideDeleted;
  // A deleted folder whose first cluster was taken again is not entered.
  const bool enterable = f >= 2 && f <= state_.lastCluster && (!deleted || volume::ReadFatEntry(state_, state_.fat, f) == 0);
  if (f >= 2 && f <= state_.lastCluster && pathTooLong && state_.operationMode == volume::kModeRestore) {
    if (target_) {
      restore::SkipPathTooLong(*target_, *parent + "/" + name);
      if (enterable)
        restore::OutcomesOf(*target_).SkippedBelow(restore::kReasonPathTooLong, CountEntriesBelow(f, deleted));
    }
    return false;
  }
  if (f >= 2 && f <= state_.lastCluster && !pathTooLong) {
    sub.firstCluster = enterable ? f : 0;
    sub.name = countOnly_ ? std::string() : name;
    sub.deleted = deleted;
  }
  table.push_back(std::move(sub));
  return true;
}

uint32_t FatWalk::CountEntriesBelow(uint64_t firstCluster, bool deleted) {
  uint32_t count = 0;
  const FoundEntryObserver counter = [&count](const FoundEntry&) { ++count; };
  const uint8_t mode = state_.operationMode;
  state_.operationMode = volume::kModeSearch;
  FatWalk below(state_);
  below.SetFoundObserver(&counter);
  below.countOnly_ = true;
  const std::string none;
  below.WalkFatDirectory(firstCluster, &none, deleted);
  state_.operationMode = mode;
  return count;
}

void FatWalk::ProcessFatEntry(ByteView entry, const std::string* parent, std::vector<Subdirectory>& table,
                              bool insideDeleted) {
  if (CancelRequested()) return;
  if (EntryFirstByte(entry) == '.') {
    longName_.Reset();
    return;
  }
  if (IsLongNameEntry(entry)) {
    if (!longName_.Add(entry) && !probe_) ++state_.truncatedStructures;
    return;
  }
  deletedShortName_ = false;
  std::string name;
  if (ShortNameHasForbiddenBytes(entry) || !DisplayName(entry, insideDeleted, name)) {
    longName_.Reset();
    return;
  }
  if (IsDirectoryEntry(entry) && state_.clusterScan == 0 && !probe_ &&
      !RecordSubdirectory(entry, name, parent, table, insideDeleted)) {
    longName_.Reset();
    return;
  }
  longName_.Reset();
  if (EntryFirstByte(entry) != kDeletedMark && !insideDeleted) return;
  if (!DisplayNameAcceptable(name)) return;
  if ((state_.clusterScan != 0 || orphanRule_) && !IsListableOrphan(state_, entry, name)) return;
  if (probe_) {
    probeHits_ += ListableByNumbers(entry) ? 1 : 0;
    return;
  }
  if (!PassesFilter(name)) return;
  bool taken = false;
  if (state_.operationMode == volume::kModeSearch && found_) {
    (*found_)(ItemOf(entry, name, parent));
    taken = true;
  } else if (state_.operationMode == volume::kModeSearch) {
    taken = ListEntry(entry, name, parent);
  } else if (state_.operationMode == volume::kModeRestore && target_) {
    taken = RestoreFoundEntry(state_, *target_, ItemOf(entry, name, parent));
  }
  // A folder a scanned cluster names: its own cluster's entries go below it.
  if (taken && placement_ && parent && IsDirectoryEntry(entry))
    placement_->NoteFolder(FatEntryFirstCluster(entry), 0, *parent + platform::kPathSeparator + name);
}

void FatWalk::ProcessScannedCluster(ByteView cluster, const std::string& folder, uint64_t number) {
  longName_.Reset();  // no long name continues from one cluster into the next
  scannedCluster_ = number;
  std::vector<Subdirectory> none;
  const bool search = state_.operationMode == volume::kModeSearch || probe_;
  // In search mode a slot that fails every cheap test below is passed over
  // with nothing kept: the loop goes from one that passes one to the next.
  size_t at = search ? NextFatSlotToRead(cluster, 0, state_.lastCluster) : 0;
  for (; !state_.cancelled; at += kEntryBytes) {
    if (!InBounds(cluster.size(), at, kEntryBytes)) {
      CountCutLongName(state_, longName_, probe_);
      break;
    }
    // A fixed-size view over the 32 bytes just checked: the raw reads of the
    // fast test below stay inside it by its type.
    const std::span<const uint8_t, kEntryBytes> p(cluster.data() + at, kEntryBytes);
    using namespace fat_layout;
    if (p[kNameFirstByte.offset] == kEndMark) break;
    // Most clusters a scan reads hold file data, not entries. A short entry
    // whose cluster or size rules out a row is dropped before its name is
    // decoded; it would end the same way, only later. The first test is the
    // cluster number on the raw bytes, which rejects nearly all file data.
    const uint64_t low = kFirstClusterLow.offset, high = kFirstClusterHigh.offset;
    const bool shortEntry =
        p[kNameFirstByte.offset] != '.' && !(p[kAttributes.offset] == kAttrLongName && p[low] == 0 && p[low + 1] == 0);
    if (search && shortEntry) {
      const uint64_t first =
          (uint64_t{p[high]} | uint64_t{p[high + 1]} << 8) << 16 | p[low] | uint64_t{p[low + 1]} << 8;
      if (first > state_.lastCluster || !ListableByNumbers(cluster.subspan(at, kEntryBytes))) {
        longName_.Reset();
        at = NextFatSlotToRead(cluster, at + kEntryBytes, state_.lastCluster) - kEntryBytes;
        continue;
      }
    }
    ProcessFatEntry(cluster.subspan(at, kEntryBytes), &folder, none, true);
  }
  scannedCluster_ = 0;
}

void FatWalk::WalkAdoptedCluster(ByteView cluster, const std::string& path) {
  orphanRule_ = true;
  holes_.clear();
  ResetLongName();
  std::vector<Subdirectory> table;
  ProcessEntries(cluster, &path, table, true);
  std::vector<FatFrame> work;
  PushFrame(std::move(table), &path, true, work);
  EnterSubdirectories(work);
  orphanRule_ = false;
}

const std::string* FatWalk::DeletedFolderPath(uint64_t firstCluster) const {
  const auto found = deletedFolders_.find(firstCluster);
  return found == deletedFolders_.end() ? nullptr : &found->second;
}

std::string FatWalk::OrphanFolder() const { return RootPrefix() + std::string(kOrphanFolder); }

bool FatWalk::ScannedClusterListsEntry(ByteView cluster) {
  probe_ = true;
  probeHits_ = 0;
  ProcessScannedCluster(cluster, std::string());
  probe_ = false;
  return probeHits_ > 0;
}

bool FatWalk::PassesFilter(const std::string& name) const {
  const std::string& filter = state_.options.filter;
  if (filter.empty()) return true;
  const std::string upper = platform::UpperAscii(name);
  if (deletedShortName_) {
    std::string dollar = filter;
    dollar[0] = '$';
    if (upper.starts_with(dollar)) return true;
  }
  return upper.find(filter) != std::string::npos;
}

bool FatWalk::ListableByNumbers(ByteView entry) const {
  const uint64_t f = FatEntryFirstCluster(entry);
  const uint32_t size = EntrySize(entry);
  const bool emptyFile = !IsDirectoryEntry(entry) && size == 0;
  if (f > state_.lastCluster || (f < 2 && !emptyFile) || size >= volumeSpanBytes_) return false;
  if (probe_) return true;
  return emptyFile ? state_.options.zeroSize
                   : state_.options.inUse || volume::ReadFatEntry(state_, state_.fat, f) == 0;
}

bool FatWalk::ListEntry(ByteView entry, const std::string& name, const std::string* parent) {
  if (!ListableByNumbers(entry)) return false;
  const FoundEntry item = ItemOf(entry, name, parent);
  std::string_view typeName;
  const size_t row = volume::ListFoundEntry(state_, item.name, item.isFolder, &typeName);
  RowSink* rows = state_.rows;
  if (rows == nullptr) return true;
  if (!item.isFolder && ntfs::IsBinIndexRow(item.name, item.folder)) typeName = ntfs::kBinIndexTypeName;
  rows->SetCell(row, 1, parent ? *parent : state_.rootPath);
  rows->SetCell(row, 2, item.isFolder ? std::string() : std::to_string(item.size));
  rows->SetDataWord(row, (item.isFolder ? volume::kRowFolder : 0) | volume::RowSlotClusterBits(item.slotCluster));
  rows->SetCell(row, 3, typeName);
  rows->SetCell(row, 4, volume::FormatDosDateTime(item.dosDate, item.dosTime));
  rows->SetCell(row, 5, std::to_string(item.firstCluster));
  return true;
}

namespace {

// The fields a driver fills beside the name, size and times: the case flags
// of byte 12 (only bits 3 and 4 mean anything), the creation time's tenths
// (0-199) and the creation and access dates, each a calendar date or unset.
// File data read as an entry holds anything there.
bool DriverFieldsPlausible(ByteView entry) {
  const auto dateOrNone = [](uint16_t date) {
    if (date == 0) return true;
    const int month = (date >> 5) & 15, day = date & 31;
    return month >= 1 && month <= 12 && day >= 1;
  };
  return (Le(entry, fat_layout::kCaseFlags) & ~0x18) == 0 && Le(entry, fat_layout::kCreateTenths) < 200 &&
         dateOrNone(Le(entry, fat_layout::kCreateDate)) && dateOrNone(Le(entry, fat_layout::kAccessDate));
}

}  // namespace

bool IsListableOrphan(const ScanState& state, ByteView entry, std::string_view name) {
  if (!DriverFieldsPlausible(entry)) return false;
  volume::OrphanFacts facts;
  facts.name = name;
  facts.time = volume::DosCalendarTime(EntryDate(entry), EntryTime(entry));
  facts.firstCluster = FatEntryFirstCluster(entry);
  facts.size = IsDirectoryEntry(entry) ? 0 : EntrySize(entry);
  facts.shortName = entry.subspan(fat_layout::kShortName.offset,
                                  std::min<size_t>(entry.size(), fat_layout::kShortName.length));
  return volume::CheckOrphan(state, facts) == volume::OrphanFault::kNone;
}

FoundEntry FatWalk::ItemOf(ByteView entry, const std::string& name, const std::string* parent) const {
  FoundEntry e;
  e.name = name;
  e.folder = parent ? FolderBelow(RootPrefix(), *parent) : std::string();
  e.firstCluster = FatEntryFirstCluster(entry);
  e.isFolder = IsDirectoryEntry(entry);
  e.size = e.isFolder ? 0 : EntrySize(entry);
  e.dosDate = EntryDate(entry);
  e.dosTime = EntryTime(entry);
  e.slotCluster = scannedCluster_;
  return e;
}

bool WalkFatExfat(ScanState& state, const restore::RestoreTarget* target) {
  const bool fat = state.fsKind == volume::kFat12 || state.fsKind == volume::kFat16 ||
                   state.fsKind == volume::kFat32;
  if (!fat && state.fsKind != volume::kExfat) return false;
  state.cancelled = 0;
  if (state.progress) state.progress->OpenProgress();
  // The thorough search and restore go on into the free clusters; complete
  // deletion has its own pass over them.
  const bool orphans = state.options.thorough && state.operationMode != volume::kModeCompleteDeletion;
  if (state.fsKind == volume::kExfat) {
    ExfatWalk walk(state);
    walk.SetRestoreTarget(target);
    walk.WalkRoot();
    if (orphans && !state.cancelled) WalkOrphanedExfatSets(state, walk);
  } else {
    FatWalk walk(state);
    walk.SetRestoreTarget(target);
    if (state.rootCluster == 0)
      walk.WalkFatRoot();
    else
      walk.WalkFatDirectory(state.rootCluster, nullptr, false);
    if (orphans && !state.cancelled) WalkOrphanedFatEntries(state, walk);
  }
  if (state.progress) state.progress->CloseProgress();
  return true;
}

}  // namespace vellum::fat
