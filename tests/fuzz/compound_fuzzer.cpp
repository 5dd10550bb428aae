// Fuzz target: a lost compound file. Its FAT, DIFAT and directory chains may
// point anywhere, loop, or never end; the analysis must end quickly with a row
// or none, never reading outside its buffers.
#include "content/compound_file.h"
#include "content_fuzz_volume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vellum::fuzzing::FuzzVolume v;
  if (!v.Build(data, size)) return 0;
  if (size % 3 == 0) v.state.options.filter = "XLS";
  vellum::content::AnalyseCompoundFile(v.state, v.first, v.firstCluster);
  return 0;
}
