// Fuzz target: the signature dispatcher over every cluster of a volume, as a
// full cluster scan would call it, with rows recorded and a name filter
// chosen by the input.
#include "content/analyse_cluster.h"
#include "content_fuzz_volume.h"
#include "volume/sector_io.h"
#include "support/counting_rows.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vellum::fuzzing::FuzzVolume v;
  if (!v.Build(data, size)) return 0;
  vellum::testing::CountingRows rows;
  v.state.rows = &rows;
  static const char* kFilters[] = {"", "", "JPG", "X", ".", "DOC", "MP", "Z"};
  v.state.options.filter = kFilters[data[4] % 8];
  std::vector<uint8_t> cluster(v.state.clusterBytes);
  for (uint64_t i = 0; i < v.clusters && v.state.cancelled == 0; ++i) {
    vellum::volume::ReadCluster(v.state, v.first + i, cluster);
    vellum::content::AnalyseClusterContents(v.state, v.first + i, cluster);
  }
  return 0;
}
