// Complete deletion: the directory entries of deleted files and folders are
// overwritten, first with random bytes and then with zeros, so that their
// names, sizes, times and clusters can no longer be found; the entries'
// first bytes stay, so directories keep their shape. Then the clusters those
// entries pointed at are overwritten with zeros, and on request every other
// free cluster too; a cluster in use is never written.
#pragma once

#include <cstdint>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::fat {

// The deleted entries (first byte 0xE5, short and long-name alike) of a FAT
// directory cluster or root sector just read from `sector`. Writes nothing
// when none is deleted. Returns how many entries were wiped.
size_t WipeDeletedFatEntries(volume::ScanState& state, uint64_t sector, MutableBytes directory);

// The entries of an exFAT directory cluster whose in-use bit is clear.
size_t WipeDeletedExfatEntries(volume::ScanState& state, uint64_t sector, MutableBytes directory);

// After the walk of a complete deletion: the free clusters that a
// free-cluster scan would read as orphaned directory clusters (entries of a
// deleted folder nothing points to any more) get their deleted entries
// overwritten the same way, so that no scan finds those names again. Clusters
// the walk already read are left alone.
void WipeOrphanedFatDirectories(volume::ScanState& state);
void WipeOrphanedExfatDirectories(volume::ScanState& state);

// Writes a wipe's sectors, counting a failed write in state.wipe.
bool WriteWipeSectors(volume::ScanState& state, uint64_t sector, uint64_t sectors, ByteView bytes);

// Last, once no entry is left to read: the clusters that a restore of each
// wiped entry would read (the deleted-file run of a FAT entry, the run its
// Stream Extension names on exFAT), where they are free in the volume's own
// FAT or allocation bitmap, are overwritten with zeros.
void WipeDeletedFileData(volume::ScanState& state);

// Every free cluster not overwritten yet, so that nothing deleted earlier
// can be found by its content either. Cancel stops it between clusters;
// state.wipe.stoppedAtCluster then says where.
void WipeFreeClusters(volume::ScanState& state);

// Free in the volume's own table, the only clusters a wipe may write.
bool IsFreeOnDisk(const volume::ScanState& state, uint64_t cluster);

}  // namespace vellum::fat
