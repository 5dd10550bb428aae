// Fuzz target: a lost PDF: the linearization dictionary's numbers and the
// search for %%EOF.
#include "content/pdf.h"
#include "content_fuzz_volume.h"
#include "volume/parse_number.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vellum::fuzzing::FuzzVolume v;
  if (!v.Build(data, size)) return 0;
  vellum::content::ReadLinearizedLength(v.firstCluster);
  vellum::content::MeasurePdf(v.state, v.first, v.firstCluster);
  vellum::volume::ParseUnsigned64(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
