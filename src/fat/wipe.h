// Complete deletion: the directory entries of deleted files and folders are
// overwritten, first with random bytes and then with zeros, so that their
// names, sizes, times and clusters can no longer be found. File data is not
// touched; the entries' first bytes stay, so directories keep their shape.
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

}  // namespace vellum::fat
