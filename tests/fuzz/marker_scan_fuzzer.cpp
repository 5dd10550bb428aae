// Fuzz target: the marker scans in every variant, over any cluster layout,
// with Cancel pressed after a number of clusters the input chooses.
#include "content/marker_scan.h"
#include "content_fuzz_volume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vellum::content;
  vellum::fuzzing::FuzzVolume v;
  if (!v.Build(data, size)) return 0;
  vellum::fuzzing::CancellingProgress progress(data[4] % 8);
  v.state.progress = &progress;
  static const MarkerPattern kPatterns[] = {kJpegEnd, kGifTrailer, kPngEnd, kMngEnd,
                                            kMpegProgramEnd, kMpegVideoEnd, kZipEndRecord, kPdfEof};
  const MarkerPattern& pattern = kPatterns[data[0] / 3 % 8];
  const uint64_t found = MarkerScan(v.state, v.first, pattern);
  // No scan may claim more than the volume holds from its first cluster.
  if (found > v.clusters * v.state.clusterBytes) __builtin_trap();
  return 0;
}
