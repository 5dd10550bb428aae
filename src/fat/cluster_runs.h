// How the FAT and exFAT walkers decide, from the in-memory tables alone, which
// clusters a directory or file occupies, whether a deleted entry's clusters
// have been reused, and which free clusters a deleted directory may claim.
//
// state.fat stands for the disk and is never changed; state.fatWork is the
// working copy in which the walk claims the clusters of deleted directories it
// has read (as end of chain), so nothing is read twice in one command.
#pragma once

#include <cstdint>
#include <unordered_set>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::fat {

using volume::ScanState;

// A FAT directory entry's first cluster: high word at 20, low word at 26, on
// FAT12 and FAT16 too (a stray high word there makes the cluster invalid).
uint64_t FatEntryFirstCluster(ByteView entry);

// A FAT entry's first cluster is in use when its FAT entry is anything but free.
bool IsFatEntryInUse(const ScanState& state, uint64_t firstCluster);
// exFAT entries are judged by the allocation bitmap, never the FAT.
bool IsExfatEntryInUse(const ScanState& state, uint64_t firstCluster);

// True when the cluster is in use on disk or already claimed by a deleted
// directory of this command.
bool IsClaimed(const ScanState& state, uint64_t cluster);
// Marks the cluster as end of chain in fatWork (FAT12/16/32 only).
void Claim(ScanState& state, uint64_t cluster);
// The rule before entering a deleted subdirectory: claims its first cluster
// and returns true, or returns false when the cluster is in use or claimed.
bool ClaimDeletedDirectory(ScanState& state, uint64_t firstCluster);

// Remembers which clusters a chain has visited, so that a damaged FAT whose
// chain loops back on itself ends the walk instead of spinning forever.
// Memory grows with the chain's length, which for directories is short.
class LoopGuard {
 public:
  // False when the cluster was seen before.
  bool FirstVisit(uint64_t cluster) { return seen_.insert(cluster).second; }

 private:
  std::unordered_set<uint64_t> seen_;
};

// The clusters of a live FAT12/16/32 directory, in chain order through fatWork.
class LiveChain {
 public:
  LiveChain(const ScanState& state, uint64_t firstCluster);
  // Yields the next cluster; false when the chain ends.
  bool Next(uint64_t& cluster);

 private:
  const ScanState& state_;
  uint64_t next_;
  LoopGuard guard_;
};

// The predicted clusters of a deleted FAT file of `size` bytes starting at c0:
// free clusters only when c0 is free on disk, else consecutive clusters, with
// one wrap from the end of the volume to cluster 2.
class DeletedFileRun {
 public:
  DeletedFileRun(const ScanState& state, uint64_t firstCluster, uint64_t size);
  bool Next(uint64_t& cluster);

 private:
  bool Advance();
  const ScanState& state_;
  uint64_t current_;
  uint64_t remaining_;
  bool freeOnly_;
  bool started_ = false;
  bool wrapped_ = false;
};

// The clusters of an exFAT file's data or directory, as its Stream Extension's
// flag byte says: exactly 1 follows the FAT, anything else is contiguous.
class ExfatRun {
 public:
  enum class Kind { FileData, Directory };
  ExfatRun(const ScanState& state, uint64_t firstCluster, uint8_t streamFlags, Kind kind);
  // For file data the caller stops when its size is covered.
  bool Next(uint64_t& cluster);

 private:
  const ScanState& state_;
  uint64_t next_;
  bool followFat_;
  Kind kind_;
  bool ended_ = false;
  LoopGuard guard_;
};

// The clusters of a deleted exFAT file or folder, never taking a cluster the
// bitmap marks in use as its own. Deletion frees the clusters in the bitmap
// and (exfat-fuse, among others) clears their FAT links, so a chain that is
// gone is predicted as the FAT rule predicts a deleted FAT file: the next
// clusters free in the bitmap. A contiguous run keeps its places, and a
// cluster in use inside it is named, not read.
class DeletedExfatRun {
 public:
  enum class Source {
    kRecorded,   // where the entry or its FAT chain puts it, free on disk
    kPredicted,  // free on disk, taken because the chain was gone
    kInUse,      // in use again: its bytes are another file's
  };
  struct Step {
    uint64_t cluster = 0;
    Source source = Source::kRecorded;
  };
  DeletedExfatRun(const ScanState& state, uint64_t firstCluster, uint8_t streamFlags);
  // False when the run ends: past the end of the volume, or no free cluster
  // is left to predict. File data stops at its size at the caller.
  bool Next(Step& step);

 private:
  bool IsFree(uint64_t cluster) const;
  bool NextFree(uint64_t after, uint64_t& cluster);
  const ScanState& state_;
  uint64_t next_;
  bool followFat_;
  bool predicting_ = false;
  bool wrapped_ = false;
  bool seekFree_ = false;
  LoopGuard guard_;
};

}  // namespace vellum::fat
