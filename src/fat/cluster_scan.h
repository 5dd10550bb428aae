// The cluster scans of FAT and exFAT volumes: free clusters (after a search)
// or every cluster of a range, each read as possible directory entries of
// orphaned deleted folders and, with the analyse option, handed to content
// analysis.
#pragma once

#include <cstdint>
#include <functional>

#include "volume/content_analyser.h"
#include "volume/le.h"
#include "volume/scan_state.h"
#include "volume/seams.h"

namespace vellum::fat {

using volume::ScanState;

using vellum::kClusterCaption;

using volume::ContentAnalyser;

// 1 when the scan ran (also when cancelled while running), 0 when the range
// question was cancelled. state.allClusters chooses the full scan.
int ScanFatClusters(ScanState& state, ClusterRangeAsker& asker, const ContentAnalyser& analyse);
int ScanExfatClusters(ScanState& state, int all, ClusterRangeAsker& asker, const ContentAnalyser& analyse);

// Every free cluster of the volume (the FAT, or exFAT's bitmap), read with
// the progress and Cancel of a cluster scan but without the range question:
// the thorough walk's look for orphaned directory entries.
void ForEachFreeCluster(ScanState& state, const std::function<void(uint64_t, ByteView)>& visit);

// Whether the exFAT walk of this command read the cluster as a directory's
// (state.exfatWalkedDirectoryClusters, sorted): its sets are listed already.
bool ExfatClusterWalked(const ScanState& state, uint64_t cluster);

}  // namespace vellum::fat
