// Fuzz target: the record walks (ASF objects, MP4/QuickTime boxes, LZH
// members) over any sizes, including 0, 1 and values past the volume.
#include "content/record_walks.h"
#include "content_fuzz_volume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vellum::content;
  vellum::fuzzing::FuzzVolume v;
  if (!v.Build(data, size)) return 0;
  MeasureAsf(v.state, v.first, v.firstCluster);
  MeasureIsoMedia(v.state, v.first, v.firstCluster);
  MeasureLzh(v.state, v.first, v.firstCluster);
  return 0;
}
