// A JPEG measured by its own structure: the marker segments by their
// lengths, each scan's entropy-coded data to the marker that ends it, to the
// end-of-image marker that closes the image (never that of a thumbnail
// inside an Exif segment), and on to the end of the further images a
// multi-picture index names.
#pragma once

#include <cstdint>

#include "content/lost_file.h"

namespace vellum::content {

struct JpegLength {
  uint64_t size = 0;
  // The walk reached the end-of-image marker; otherwise size is where the
  // structure broke off (a foreign marker, the clusters ran out, Cancel).
  bool whole = false;
};

// `file` starts with FF D8.
JpegLength MeasureJpeg(LostFile& file);

}  // namespace vellum::content
