// A PNG measured by its chunks: each chunk's length field leads to the next,
// to the IEND chunk, and every chunk's CRC is checked on the way.
#pragma once

#include "content/content_check.h"
#include "content/lost_file.h"

namespace vellum::content {

// `file` starts with the PNG signature. The size is just past IEND's CRC;
// a walk that broke off ends where the chunk it could not read began, and
// is damaged from there. The check is verified when every CRC was right,
// damaged from the first chunk whose CRC was not.
Measured MeasurePng(LostFile& file);

}  // namespace vellum::content
