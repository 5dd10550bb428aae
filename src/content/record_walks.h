// Container formats measured by jumping from record header to record header:
// ASF header objects, MP4/QuickTime top-level boxes and LZH member headers.
// Each takes the first cluster's number and bytes (clusterBytes long).
#pragma once

#include <cstdint>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::content {

// The file size that the File Properties Object declares; the default size
// when it declares none or an absurd one, or an object size is absurd; 0 when
// the first 100 objects hold no File Properties Object.
uint64_t MeasureAsf(volume::ScanState& state, uint64_t cluster, ByteView data);

// The sum of the leading top-level boxes of the known types; the default size
// when there is none.
uint64_t MeasureIsoMedia(volume::ScanState& state, uint64_t cluster, ByteView data);

// The members' headers and packed data plus the archive's final zero byte;
// the default size when no member header is found.
uint64_t MeasureLzh(volume::ScanState& state, uint64_t cluster, ByteView data);

}  // namespace vellum::content
