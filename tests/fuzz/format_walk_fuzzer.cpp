// Fuzz target: the formats walked by their own structure (transport
// streams, MP3, FLAC, Ogg, 7z, RAR, GZIP, SQLite) over any bytes, each walk
// called directly so that a signature test does not stand before it.
#include "content/format_measures.h"
#include "content_fuzz_volume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vellum::content;
  vellum::fuzzing::FuzzVolume v;
  if (!v.Build(data, size)) return 0;
  for (auto measure : {MeasureTransportStream, MeasureMp3, MeasureFlac, MeasureOgg, MeasureSevenZip, MeasureRar,
                       MeasureGzip, MeasureSqlite}) {
    const Measured m = measure(v.state, v.first, v.firstCluster);
    // A length is never claimed past the volume's data.
    if (m.size > v.state.dataAreaBytes && m.size != 10'485'760) __builtin_trap();
  }
  (void)OggExtension(v.firstCluster);
  return 0;
}
