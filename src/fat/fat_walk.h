// The deleted-entry walk of FAT12, FAT16 and FAT32 volumes: every live
// directory is read entry by entry, long names are rebuilt, deleted entries
// are listed, and deleted folders are entered while their first cluster is
// still free.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "fat/fat_entry.h"
#include "volume/scan_state.h"

namespace vellum::fat {

using volume::ScanState;

// One subdirectory recorded while a directory is read, entered afterwards.
struct Subdirectory {
  uint64_t firstCluster = 0;  // 0: not to be entered
  bool deleted = false;       // deleted itself, or inside a deleted directory
  std::string name;
};

class FatWalk {
 public:
  explicit FatWalk(ScanState& state);

  // The fixed root directory region of FAT12 and FAT16.
  void WalkFatRoot();
  // One directory given by its first cluster. parent is null for the FAT32 root.
  void WalkFatDirectory(uint64_t firstCluster, const std::string* parent, bool insideDeleted);
  // One 32-byte entry of a directory being read, in the current operation mode.
  void ProcessFatEntry(ByteView entry, const std::string* parent, std::vector<Subdirectory>& table,
                       bool insideDeleted);
  // Forgets the long-name entries gathered so far (a new directory begins).
  void ResetLongName() { longName_.Reset(); }

 private:
  bool CancelRequested();
  bool ReadDirectory(uint64_t firstCluster, bool isSubdirectory, std::vector<uint8_t>& bytes);
  void ProcessEntries(ByteView bytes, const std::string* parent, std::vector<Subdirectory>& table,
                      bool insideDeleted);
  void EnterSubdirectories(std::vector<Subdirectory>& table, const std::string* parent, bool insideDeleted);
  bool DisplayName(ByteView entry, bool insideDeleted, std::string& name);
  void RecordSubdirectory(ByteView entry, const std::string& name, const std::string* parent,
                          std::vector<Subdirectory>& table, bool insideDeleted);
  bool PassesFilter(const std::string& name) const;
  void ListEntry(ByteView entry, const std::string& name, const std::string* parent);

  ScanState& state_;
  LongNameSlots longName_;
  bool expectDotEntry_ = false;
  bool deletedShortName_ = false;
  uint64_t volumeSpanBytes_ = 0;
  // Every directory cluster entered in this walk. A damaged volume can point
  // several entries, or a directory's own child, at one live directory; each
  // is walked once, so such a loop cannot multiply the work without end.
  std::unordered_set<uint64_t> entered_;
};

// The walk driver of the search command on FAT12/16/32 and exFAT: opens the
// progress, walks from the root with the volume's own walk, and closes it.
// Returns false, walking nothing, for a volume it cannot walk.
bool WalkFatExfat(ScanState& state);

}  // namespace vellum::fat
