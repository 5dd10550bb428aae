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

}  // namespace vellum::fat
