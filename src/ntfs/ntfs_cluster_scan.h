// The cluster scan of NTFS volumes: file records left in free clusters (or in
// any cluster of a range) are listed with their cluster and slot, and each
// scanned cluster goes to content analysis.
#pragma once

#include <string_view>

#include "volume/content_analyser.h"
#include "volume/scan_state.h"
#include "volume/seams.h"

namespace vellum::ntfs {

// 0 when the range question was cancelled, 1 otherwise (also after a cancel
// during the scan). all: every cluster of the range, used ones too.
int ScanNtfsFreeClusters(volume::ScanState& state, int all, ClusterRangeAsker& asker,
                         const volume::ContentAnalyser& analyse);

}  // namespace vellum::ntfs
