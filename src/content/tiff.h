// TIFF and the camera raw formats built on it, measured by what their IFD
// chains reach: the length is the furthest end of any IFD, strip, tile,
// embedded JPEG, sub-IFD or tag value stored out of line. The extension
// comes from the structure where it tells (the CR2 marker, DNGVersion, the
// Make tag), else "tif".
#pragma once

#include <cstdint>
#include <string>

#include "content/lost_file.h"

namespace vellum::content {

// Whether the first bytes are a TIFF header of either byte order, BigTIFF,
// or one of the raw variants with their own magic number (ORF, RW2).
bool TiffHeader(ByteView b);

struct TiffLength {
  uint64_t size = 0;  // 0 when not even the first IFD could be read
  std::string extension = "tif";
};

TiffLength MeasureTiff(LostFile& file);

}  // namespace vellum::content
