// Sector transfers on the open volume and the small table accessors every
// walker shares: FAT entries, allocation bitmaps, cluster arithmetic.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::platform {
class ReadAheadDevice;
}

namespace vellum::volume {

// FAT entry values as callers see them.
inline constexpr int32_t kFatEndOfChain = -1;
inline constexpr int32_t kFatBad = -9;
// The cluster number callers pass for "no cluster"; its entry reads as end of chain.
inline constexpr uint64_t kNoCluster = UINT64_MAX;

// Reads `count` sectors of bytesPerSector bytes at 64-bit sector number `sector`.
// False when the buffer is too small, the offset overflows, or the device fails;
// the buffer then holds what could be read, zeros elsewhere.
bool ReadSectors(ScanState& state, uint64_t sector, uint64_t count, MutableBytes buffer);
bool WriteSectors(ScanState& state, uint64_t sector, uint64_t count, ByteView buffer);

// First sector of a cluster: the cluster heap on FAT and exFAT, the volume
// start on NTFS.
uint64_t ClusterToSector(const ScanState& state, uint64_t cluster);

// While it lives, the volume's reads go through a read-ahead of large blocks
// (platform/read_ahead.h): for scans that read the volume in order.
class ReadAheadScope {
 public:
  explicit ReadAheadScope(ScanState& state);
  ~ReadAheadScope();
  ReadAheadScope(const ReadAheadScope&) = delete;
  ReadAheadScope& operator=(const ReadAheadScope&) = delete;

 private:
  ScanState& state_;
  platform::ReadAheadDevice* wrapper_ = nullptr;
};

// Reads one cluster (sectorsPerCluster sectors) into buffer.
bool ReadCluster(ScanState& state, uint64_t cluster, MutableBytes buffer);

// Who holds a view: the scan loop's cluster, the cluster an analyser of that
// cluster is reading ahead, or the chunk of a file-system table a walk reads
// in order. Each holds one view at a time. Only image files read in place
// give the table's holder a view.
inline constexpr int kScanView = 0;
inline constexpr int kAnalysisView = 1;
inline constexpr int kTableView = 2;

// `count` sectors at `sector` in place when the device holds them in memory
// (under a ReadAheadScope), else read into `fallback` (sized for them) as
// ReadSectors would, zeros where nothing could be read. Valid until the
// holder's next call.
ByteView ViewSectors(ScanState& state, uint64_t sector, uint64_t count, std::vector<uint8_t>& fallback,
                     int holder);
// The same sectors in place, or empty when the device does not hold them in
// memory (read them instead).
ByteView SectorsInPlace(ScanState& state, uint64_t sector, uint64_t count, int holder);
ByteView ViewCluster(ScanState& state, uint64_t cluster, std::vector<uint8_t>& fallback, int holder);

// Decoded entry of `table` (state.fat or state.fatWork): 0 free, -1 end of
// chain, -9 bad, else the stored value. An entry past the end of the table (a
// hostile cluster number, or a FAT cut short by the device's end) reads as end
// of chain, so it is never taken for free.
int32_t ReadFatEntry(const ScanState& state, ByteView table, uint64_t cluster);
// Writes into state.fatWork only, and only on FAT12/16/32.
void WriteFatEntry(ScanState& state, uint64_t cluster, int32_t value);
// How many entries the in-memory FAT holds (clusters 0 .. count - 1).
uint64_t FatEntryCount(const ScanState& state);

// Bitmap tests. A cluster outside the bitmap counts as used: what we cannot
// see, we never take for free.
bool IsExfatClusterUsed(const ScanState& state, uint64_t cluster);
bool IsNtfsClusterUsed(const ScanState& state, uint64_t cluster);

// Advances `cluster` to the next cluster (only free ones when freeOnly) not
// above lastCluster; past the end sets it to 0 and returns false.
bool NextCandidateCluster(const ScanState& state, uint64_t& cluster, bool freeOnly);

}  // namespace vellum::volume
