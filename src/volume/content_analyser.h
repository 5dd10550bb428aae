// The hook through which the cluster scans hand each scanned cluster to
// content analysis, which lists the files it recognises there.
#pragma once

#include <cstdint>
#include <functional>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::volume {

using ContentAnalyser = std::function<void(ScanState&, uint64_t cluster, ByteView bytes)>;

}  // namespace vellum::volume
