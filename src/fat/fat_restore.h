// Restoring deleted FAT and exFAT entries into a destination folder tree:
// folders are created, file data is copied cluster by cluster along the run
// the entry is predicted to have occupied, and each item gets the entry's
// modification time.
#pragma once

#include <cstdint>
#include <ctime>

#include "fat/found_entry.h"
#include "restore/restore_target.h"
#include "restore/restored_file.h"
#include "volume/scan_state.h"

namespace vellum::fat {

using volume::ScanState;

// A FAT date and time (local time, as FAT stores it) as a time stamp.
timespec FatTimeToTimespec(uint16_t date, uint16_t time);

// Restores one deleted FAT or exFAT entry, found by a walk or read from a
// row, into the destination folder of its folder (made when missing). A
// folder is made, not entered; on FAT one that exists already is left as it
// is. An entry restored before in the same command is not written again.
// Returns false when the entry was skipped.
bool RestoreFoundEntry(ScanState& state, const restore::RestoreTarget& target, const FoundEntry& entry);

// Whether a file's size, counted in clusters from its first one on, ends past
// the volume's last cluster: no run of its own can hold it. Such an entry
// is skipped, not filled from the clusters the run would wrap round to.
bool RunsPastVolumeEnd(const ScanState& state, const FoundEntry& entry);

// A listed entry with everything below it: a deleted folder is made, then
// walked in restore mode.
void RestoreListedEntry(ScanState& state, const restore::RestoreTarget& target, const FoundEntry& entry);

// Writes the data of a deleted FAT file into `file`. False when a write
// failed or Cancel stopped it; parts the volume could not give are zeros,
// noted in the file.
bool CopyFatFileData(ScanState& state, restore::RestoredFile& file, uint64_t firstCluster, uint64_t size);

// Writes the data of a deleted exFAT file into `file`; false as above.
bool CopyExfatFileData(ScanState& state, restore::RestoredFile& file, uint32_t firstCluster, uint64_t size,
                       bool fatChain);

}  // namespace vellum::fat
