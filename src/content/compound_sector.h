// Reading a lost compound file's 512-byte sectors from the volume and following
// its own allocation table. Sector n of the file starts at byte (n + 1) x 512,
// after the header; the header's sector-size field is not consulted.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::content {

inline constexpr uint32_t kCompoundSectorBytes = 512;
// The header's table of FAT sectors (DIFAT): 109 entries in the header, then
// DIFAT sectors of 127 entries each, the 128th linking the next one.
inline constexpr uint64_t kFirstDifatSectorOffset = 0x44;
inline constexpr uint64_t kHeaderDifatOffset = 0x4C;
inline constexpr uint32_t kHeaderDifatEntries = 109;
inline constexpr uint32_t kEntriesPerFatSector = kCompoundSectorBytes / 4;  // 128
inline constexpr uint32_t kDifatEntriesPerSector = kEntriesPerFatSector - 1;
inline constexpr int32_t kCompoundFree = -1;
inline constexpr int32_t kCompoundEndOfChain = -2;

using CompoundSector = std::array<uint8_t, kCompoundSectorBytes>;

// One lost compound file starting at a cluster. Hostile headers can ask for
// sector numbers anywhere up to 2^32 and for chains that never end, so the
// reader keeps a budget for the whole analysis: past it, reads fail and the
// analysis falls back as it does for unreadable sectors.
class CompoundReader {
 public:
  CompoundReader(volume::ScanState& state, uint64_t startCluster);

  // Copies sector n into out; false when it lies beyond the volume (or the budget).
  bool ReadCompoundSector(uint32_t sector, CompoundSector& out);

  // The FAT entry of sector s (its successor in its chain, -2 at the end), as a
  // signed value; -1 when the FAT sector cannot be found or read.
  int32_t NextCompoundSector(ByteView header, uint32_t sector);

  // The cluster that holds file byte offset k x clusterBytes, or false.
  bool LocateCluster(uint64_t k, uint64_t& target);

  // Cluster reads, sectors handed out (a DIFAT chain that loops inside one
  // cached cluster costs no read), and clusters stepped over while following.
  static constexpr uint64_t kMaxClusterReads = 16'384;
  static constexpr uint64_t kMaxSectorCopies = uint64_t{1} << 16;
  static constexpr uint64_t kMaxFollowSteps = uint64_t{1} << 26;

 private:
  bool Spend(uint64_t& budget, uint64_t amount);
  bool FatSectorOf(ByteView header, uint32_t q, uint32_t& fatSector);

  volume::ScanState& state_;
  uint64_t start_;
  bool followFree_;
  uint64_t readsLeft_ = kMaxClusterReads;
  uint64_t copiesLeft_ = kMaxSectorCopies;
  uint64_t stepsLeft_ = kMaxFollowSteps;
  // The volume does not change during an analysis, so the last cluster read
  // serves the next sectors that lie in it.
  uint64_t cachedCluster_ = UINT64_MAX;
  std::vector<uint8_t> clusterBuffer_;
};

}  // namespace vellum::content
