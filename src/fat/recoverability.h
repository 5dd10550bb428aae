// The recoverability of a deleted FAT or exFAT entry, from the FAT and the
// allocation bitmap: the run its restore would read, cluster by cluster.
#pragma once

#include "fat/found_entry.h"
#include "volume/recoverability.h"

namespace vellum::fat {

volume::Recoverability EntryRecoverability(const ScanState& state, const FoundEntry& entry);

}  // namespace vellum::fat
