// The deleted-entry walk of exFAT volumes: entry sets (File, Stream
// Extension, File Name) whose in-use bits were cleared are assembled into
// names, sizes and first clusters, and deleted folders are entered. The
// thorough search enters live folders as well.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "restore/restore_target.h"
#include "fat/found_entry.h"
#include "fat/orphan_placement.h"
#include "volume/cancel.h"
#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::fat {

using volume::ScanState;

// One entry set as it is assembled from a directory's entries.
struct ExfatEntrySet {
  bool inSet = false;
  bool live = false;  // begun by an in-use File entry
  uint32_t attributes = 0;
  uint16_t date = 0;
  uint16_t time = 0;
  uint8_t tenMs = 0;      // the 10 ms increment of the modification time
  uint8_t utcOffset = 0;  // its UTC offset (bit 7: valid)
  uint32_t firstCluster = 0;
  uint64_t size = 0;
  bool fatChain = false;
  std::u16string name;  // up to its first NUL unit when used
  uint8_t secondaries = 0;       // the entries after the File entry, as it counts them
  uint8_t secondariesTaken = 0;  // the Stream Extension and File Name entries met
};

// A folder met in a directory, entered once the directory is read: a deleted
// one, or a live one in the thorough search.
struct ExfatSubdirectory {
  std::string name;
  uint32_t firstCluster = 0;
  uint64_t size = 0;
  bool fatChain = false;
  bool insideDeleted = false;
  bool deleted = false;  // its own set was deleted: its clusters are free ones
};

// A directory read whose subdirectories are being entered, one work-list
// entry of the walk. The walk keeps these in a list of its own rather than on
// the call stack: a damaged or hostile volume can nest deleted folders as
// deep as it has clusters.
struct ExfatFrame {
  std::vector<ExfatSubdirectory> subdirectories;
  size_t next = 0;         // the next subdirectory to enter
  size_t pathLength = 0;   // this directory's path, a prefix of the walk's path
  bool isRoot = false;
  bool childEntered = false;
};

class ExfatWalk {
 public:
  explicit ExfatWalk(ScanState& state);
  // In restore mode, where restored sets go (the root's into target.root).
  void SetRestoreTarget(const restore::RestoreTarget* target) { target_ = target; }
  // In search mode, deleted sets go to `observer` instead of the list.
  void SetFoundObserver(const FoundEntryObserver* observer) { found_ = observer; }
  // In a cluster scan, folders taken from scanned clusters are told to
  // `placement`, which then names the folder of each scanned cluster.
  void SetPlacement(OrphanPlacement* placement) { placement_ = placement; }
  // The set as a found item, in the folder whose walk text is `path`, below
  // the walk's root: the volume's, or in restore mode the destination.
  FoundEntry ItemOf(const ExfatEntrySet& set, const std::string& name, const std::string& path) const;
  // The sets a search would find below a deleted folder, counted: what a
  // restore leaves when the folder is too deep for its destination.
  uint32_t CountSetsBelow(const ExfatEntrySet& set);

  // The root: its whole cluster chain.
  void WalkRoot();
  // One directory and every deleted folder below it, depth first in the
  // order the entries stand. isRoot: path is the volume's root text.
  void WalkExfatDirectory(uint32_t firstCluster, uint64_t size, bool fatChain, const std::string& path,
                          bool isRoot, bool insideDeleted);
  // Takes one 32-byte entry into the set being assembled; false when the
  // entry ends the directory.
  bool TakeEntry(ByteView entry, ExfatEntrySet& set, std::vector<ExfatSubdirectory>& subdirectories,
                 const std::string& path, bool insideDeleted);
  void CloseSet(ExfatEntrySet& set, std::vector<ExfatSubdirectory>& subdirectories, const std::string& path,
                bool insideDeleted);
  // One cluster of a cluster scan: every set in it, live or deleted, with
  // folder text `folder`; no set continues into the next cluster. Returns
  // how many of the sets handed on were begun by a deleted File entry.
  // `number` is the cluster's, which its sets' items carry.
  size_t TakeScannedCluster(ByteView cluster, const std::string& folder, uint64_t number = 0);
  // The folder text of orphaned sets: "<不明>" below the walk's root.
  std::string OrphanFolder() const { return RootPrefix() + std::string(kOrphanFolder); }

 private:
  // Only a search stops between directories.
  bool CancelRequested() { return state_.operationMode == volume::kModeSearch && volume::CancelRequested(state_); }
  std::string RootPrefix() const;
  void ProcessExfatEntrySet(const ExfatEntrySet& set, const std::string& name,
                            std::vector<ExfatSubdirectory>& subdirectories, const std::string& path,
                            bool insideDeleted);
  // Reads one directory, acts on its sets and puts its subdirectories on the
  // work list (nothing when there are none or it is not read).
  void ReadExfatDirectory(const ExfatSubdirectory& directory, const std::string& path, bool isRoot,
                          std::vector<ExfatFrame>& work);
  // Reads one directory cluster into its sets; false when it ends the directory.
  // Notes the unreadable bytes of the directory cluster just read as holes,
  // and the folder as partly unreadable.
  void NoteHoles(uint64_t cluster, const std::string& path);
  bool TakeDirectoryCluster(uint64_t cluster, ExfatEntrySet& set, std::vector<ExfatSubdirectory>& subdirectories,
                            const std::string& path, bool insideDeleted);

  ScanState& state_;
  const restore::RestoreTarget* target_ = nullptr;
  const FoundEntryObserver* found_ = nullptr;
  OrphanPlacement* placement_ = nullptr;
  // The thorough search: live folders outside deleted ones are entered for
  // their deleted sets. Their own sets are never listed or restored.
  bool liveFolders_;
  size_t deletedSetsTaken_ = 0;
  uint64_t scannedCluster_ = 0;  // the cluster TakeScannedCluster reads
  std::vector<uint8_t> cluster_;  // the directory cluster being read
  // Its bytes the device could not give: zeros that are no entries and no end.
  std::vector<volume::ByteRange> clusterHoles_;
  // Directories are not claimed on exFAT, so a damaged deleted folder that
  // points back at an ancestor would be walked without end; each directory
  // cluster is walked once.
  std::unordered_set<uint32_t> entered_;
  // Directories are told apart by their first cluster only, so deleted
  // folders whose sizes overlap one another's clusters would each read the
  // rest of the volume: quadratic time, and every folder of every one kept
  // for the descent. A walk reads at most twice the volume's clusters, which
  // a volume whose folders share no clusters never comes near.
  uint64_t clustersLeft_;
};

}  // namespace vellum::fat
