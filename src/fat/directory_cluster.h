// Whether a cluster no chain leads to holds directory entries: the test that
// lets the thorough walk follow a deleted folder past its first cluster and
// lets complete deletion overwrite orphaned directory clusters. A cluster of
// file data must never pass it, so every slot has to look like an entry.
#pragma once

#include <cstdint>

#include "volume/le.h"

namespace vellum::fat {

// True when every 32-byte slot is a well-formed short or long-name entry
// (live or deleted, a wiped deleted entry included), a "." or ".." entry, or
// the 0x00 end of the directory, and everything after the end is zero. A
// cluster of zeros passes (an empty directory's remainder); a cluster whose
// size is not a whole number of slots does not.
bool IsDirectoryCluster(ByteView cluster, uint64_t lastCluster);

// The exFAT counterpart: every slot's type byte is one an exFAT directory
// holds (in use or deleted) up to a 0x00 slot, after which every slot is
// unused. Cluster data with text or pictures never passes.
bool IsExfatDirectoryCluster(ByteView cluster);

// True when the cluster holds the end of its directory (a slot whose first
// byte is 0).
bool HasEndOfDirectory(ByteView cluster);

// The parent a FAT directory's first cluster names in its ".." entry (the
// second slot, after "."): 0 when the cluster does not begin so, or the
// parent is the root.
uint64_t ParentOfDirectory(ByteView firstCluster);

}  // namespace vellum::fat
