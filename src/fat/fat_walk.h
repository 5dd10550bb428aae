// The deleted-entry walk of FAT12, FAT16 and FAT32 volumes: every live
// directory is read entry by entry, long names are rebuilt, deleted entries
// are listed, and deleted folders are entered while their first cluster is
// still free (with the thorough search, read past that cluster too).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "fat/fat_entry.h"
#include "restore/restore_target.h"
#include "fat/found_entry.h"
#include "volume/read_damage.h"
#include "fat/orphan_placement.h"
#include "volume/cancel.h"
#include "volume/scan_state.h"

namespace vellum::fat {

using volume::ScanState;

// One subdirectory recorded while a directory is read, entered afterwards.
struct Subdirectory {
  uint64_t firstCluster = 0;  // 0: not to be entered
  bool deleted = false;       // deleted itself, or inside a deleted directory
  std::string name;
};

// A directory read whose subdirectories are being entered: one entry of the
// walk's own work list, which stands in for the call stack so that the depth
// of a tree on disk never becomes the depth of the program's stack.
struct FatFrame {
  std::vector<Subdirectory> table;
  size_t next = 0;
  std::string path;  // this directory's path (empty for the root)
  bool isRoot = false;
  bool insideDeleted = false;
};

// An entry read from a scanned cluster may be listed (the orphan rule of
// every cluster scan: a calendar time, no control character in its name,
// a cluster and size inside the volume).
bool IsListableOrphan(const ScanState& state, ByteView entry, std::string_view name);

class FatWalk {
 public:
  explicit FatWalk(ScanState& state);

  // The fixed root directory region of FAT12 and FAT16.
  void WalkFatRoot();
  // One directory given by its first cluster, and the folders below it depth
  // first in the order their entries stand. parent is null for the FAT32 root.
  void WalkFatDirectory(uint64_t firstCluster, const std::string* parent, bool insideDeleted);
  // One 32-byte entry of a directory being read, in the current operation mode.
  void ProcessFatEntry(ByteView entry, const std::string* parent, std::vector<Subdirectory>& table,
                       bool insideDeleted);
  // Forgets the long-name entries gathered so far (a new directory begins).
  void ResetLongName() { longName_.Reset(); }
  // A cluster of a cluster scan read as entries, listed under `folder`;
  // `number` is the cluster's, which its entries' items carry.
  void ProcessScannedCluster(ByteView cluster, const std::string& folder, uint64_t number = 0);
  // Whether ProcessScannedCluster would list an entry of the cluster with
  // every option on (zero-size and in-use entries, no filter), in any
  // operation mode. Lists, restores and records nothing.
  bool ScannedClusterListsEntry(ByteView cluster);
  // A free cluster of a deleted folder that the walk could not reach (a
  // later directory cluster), read as that folder's entries below `path`:
  // each must pass the orphan rule, and its subfolders are entered.
  void WalkAdoptedCluster(ByteView cluster, const std::string& path);
  // The path of a deleted folder this walk entered (thorough search only),
  // by its first cluster; null for any other cluster.
  const std::string* DeletedFolderPath(uint64_t firstCluster) const;
  // The first clusters of the deleted folders entered since the last call.
  std::vector<uint64_t> TakeEnteredFolders() { return std::exchange(enteredFolders_, {}); }
  // The folder text of orphaned entries: "<不明>" below the walk's root.
  std::string OrphanFolder() const;
  // In restore mode, where restored entries go; the root's entries land in
  // target.root and every folder's path is its destination folder.
  void SetRestoreTarget(const restore::RestoreTarget* target) { target_ = target; }
  // In search mode, deleted entries go to `observer` instead of the list.
  void SetFoundObserver(const FoundEntryObserver* observer) { found_ = observer; }
  // In a cluster scan, folders taken from scanned clusters are told to
  // `placement`, which then names the folder of each scanned cluster.
  void SetPlacement(OrphanPlacement* placement) { placement_ = placement; }
  // The entry as a found item, in `parent` (null: the root) below the
  // walk's root: the volume's, or in restore mode the destination.
  FoundEntry ItemOf(ByteView entry, const std::string& name, const std::string* parent) const;

 private:
  // Only a search stops between entries; a cluster scan asks once per
  // cluster in its own loop, not per entry.
  bool CancelRequested() {
    if (state_.operationMode != volume::kModeSearch) return false;
    return state_.clusterScan == 0 ? volume::CancelRequested(state_) : state_.cancelled != 0;
  }
  // The clusters of one directory, in chain order through fatWork, up to its
  // end entry. Of a deleted directory (thorough search only), the clusters
  // after the first are those a deleted file there would occupy, for as long
  // as each reads as directory entries; they are claimed as they are taken.
  bool ReadDirectory(uint64_t firstCluster, bool isSubdirectory, bool deleted, std::vector<uint8_t>& bytes,
                     std::vector<uint64_t>& sectors);
  void ReadDeletedDirectoryTail(uint64_t firstCluster, std::vector<uint8_t>& bytes, std::vector<uint64_t>& sectors);
  void WipeDirectory(std::vector<uint8_t>& bytes, const std::vector<uint64_t>& sectors, uint64_t bytesEach);
  // The unreadable stretches of `length` directory bytes read from volume
  // byte `volumeOffset`, noted as holes from byte `at` of the directory.
  void NoteHoles(uint64_t volumeOffset, size_t at, size_t length);
  bool InHole(size_t at) const;
  // Whether the directory's bytes from `at` hold its end entry outside the holes.
  bool HasEnd(ByteView bytes, size_t at) const;
  void NoteDamagedFolder(const std::string* parent) const;
  std::string RootPrefix() const;
  std::string ParentOf(const std::string* parent) const;
  void ProcessEntries(ByteView bytes, const std::string* parent, std::vector<Subdirectory>& table,
                      bool insideDeleted);
  // Reads one directory and acts on its entries; its subdirectories go on
  // the work list.
  void ReadFatDirectory(uint64_t firstCluster, const std::string* parent, bool insideDeleted,
                        std::vector<FatFrame>& work);
  void PushFrame(std::vector<Subdirectory> table, const std::string* parent, bool insideDeleted,
                 std::vector<FatFrame>& work);
  void EnterSubdirectories(std::vector<FatFrame>& work);
  bool DisplayName(ByteView entry, bool insideDeleted, std::string& name);
  // False when the entry must not be handled further (a restore whose path
  // would be too long).
  bool RecordSubdirectory(ByteView entry, const std::string& name, const std::string* parent,
                          std::vector<Subdirectory>& table, bool insideDeleted);
  // The entries a search would list in the folder at `firstCluster` and
  // below it, however deep: what a restore leaves when the folder's path is
  // too long for the destination.
  uint32_t CountEntriesBelow(uint64_t firstCluster, bool deleted);
  bool PassesFilter(const std::string& name) const;
  // ListEntry's tests of first cluster, size and options, which need no name.
  bool ListableByNumbers(ByteView entry) const;
  // True when the entry was listed.
  bool ListEntry(ByteView entry, const std::string& name, const std::string* parent);

  ScanState& state_;
  uint64_t scannedCluster_ = 0;  // the cluster ProcessScannedCluster reads
  LongNameSlots longName_;
  bool expectDotEntry_ = false;
  bool deletedShortName_ = false;
  // The bytes of the directory being read that the device could not give:
  // their zeros are no entries, and no end of the directory either.
  std::vector<volume::ByteRange> holes_;
  const restore::RestoreTarget* target_ = nullptr;
  const FoundEntryObserver* found_ = nullptr;
  // Set while ScannedClusterListsEntry runs: entries are counted, not listed.
  bool probe_ = false;
  size_t probeHits_ = 0;
  // Set for CountEntriesBelow's walk: no paths are kept, so none grows too long.
  bool countOnly_ = false;
  uint64_t volumeSpanBytes_ = 0;
  // Every directory cluster entered in this walk. A damaged volume can point
  // several entries, or a directory's own child, at one live directory; each
  // is walked once, so such a loop cannot multiply the work without end.
  std::unordered_set<uint64_t> entered_;
  // The thorough search: the deleted folders entered, by first cluster, so
  // that their orphaned later clusters can be put back below them.
  std::unordered_map<uint64_t, std::string> deletedFolders_;
  std::vector<uint64_t> enteredFolders_;
  // Set while adopted clusters are read: their entries face the orphan rule.
  bool orphanRule_ = false;
  OrphanPlacement* placement_ = nullptr;
};

// The walk driver on FAT12/16/32 and exFAT: opens the progress, walks from
// the root with the volume's own walk in the current operation mode, and
// closes it. target: where a restore writes (restore mode only). Returns
// false, walking nothing, for a volume it cannot walk.
bool WalkFatExfat(ScanState& state, const restore::RestoreTarget* target = nullptr);

}  // namespace vellum::fat
