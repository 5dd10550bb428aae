// The thorough walk's last step on FAT and exFAT: the free clusters are read
// for directory entries no walked folder reached, and these are listed (or
// restored) as the free-cluster scan lists them, under "<不明>". Unlike that
// scan, which takes any slot that passes for an entry, only clusters that
// read as directory entries throughout are taken: a restore of everything
// found must not write gigabytes of file data read as entries. On FAT a
// cluster whose subfolders name a deleted folder the walk entered as their
// parent ("..") is that folder's own later cluster: its entries go below it.
#pragma once

#include "fat/exfat_walk.h"
#include "fat/fat_walk.h"

namespace vellum::fat {

// After `walk` has walked the volume from the root, in the same mode.
void WalkOrphanedFatEntries(ScanState& state, FatWalk& walk);
void WalkOrphanedExfatSets(ScanState& state, ExfatWalk& walk);

}  // namespace vellum::fat
