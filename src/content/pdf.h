// PDF: the length a linearized file declares, and its first %%EOF.
#pragma once

#include <cstdint>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::content {

// The file length after "/L" in a linearization dictionary that starts within
// the first 256 bytes; 0 when there is none.
uint64_t ReadLinearizedLength(ByteView data);

// The larger of the declared linearized length and the offset just past the
// first %%EOF and its end of line.
uint64_t MeasurePdf(volume::ScanState& state, uint64_t cluster, ByteView data);

}  // namespace vellum::content
