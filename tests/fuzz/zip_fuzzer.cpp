// Fuzz target: a lost ZIP archive. Member sizes, name lengths and the end
// record may be anything; classification and measuring must stay bounded.
#include "content/zip.h"
#include "content_fuzz_volume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vellum::fuzzing::FuzzVolume v;
  if (!v.Build(data, size)) return 0;
  vellum::content::ClassifyZip(v.state, v.first, v.firstCluster);
  vellum::content::MeasureZip(v.state, v.first, v.firstCluster);
  return 0;
}
