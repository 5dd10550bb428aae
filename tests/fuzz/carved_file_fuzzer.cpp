// Fuzz target: the measurers that follow a carved file's own structure (JPEG
// segments and scans with a multi-picture index, TIFF IFD chains, PNG chunks,
// ISO boxes) from every cluster of a volume, and the checks that decode a
// photo or walk its CRCs over the length a row would give it.
#include "content/content_verdict.h"
#include "content/jpeg.h"
#include "content/png.h"
#include "content/record_walks.h"
#include "content/tiff.h"
#include "content_fuzz_volume.h"
#include "volume/sector_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vellum::fuzzing::FuzzVolume v;
  if (!v.Build(data, size)) return 0;
  std::vector<uint8_t> cluster(v.state.clusterBytes);
  for (uint64_t i = 0; i < v.clusters; ++i) {
    const uint64_t at = v.first + i;
    vellum::volume::ReadCluster(v.state, at, cluster);
    vellum::content::LostFile jpeg(v.state, at, cluster);
    const uint64_t jpegSize = vellum::content::MeasureJpeg(jpeg).size;
    vellum::content::LostFile tiff(v.state, at, cluster);
    vellum::content::MeasureTiff(tiff);
    vellum::content::LostFile png(v.state, at, cluster);
    const uint64_t pngSize = vellum::content::MeasurePng(png).size;
    vellum::content::MeasureIsoMedia(v.state, at, cluster);
    vellum::content::CheckFoundContent(v.state, {"不明.jpg", "<不明>", at, jpegSize});
    vellum::content::CheckFoundContent(v.state, {"不明.png", "<不明>", at, pngSize});
  }
  return 0;
}
