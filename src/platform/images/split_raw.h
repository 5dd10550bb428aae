// A split raw image read as one device: each piece is a plain file, and the
// volume is their bytes one after another.
#pragma once

#include <string>

#include "platform/images/image_open.h"

namespace vellum::platform {

// Opens the set whose first piece is `path`. Nothing (no device, no error)
// when `path` is not named as a first piece or no second piece lies beside
// it: then it is an ordinary image.
ImageOpen OpenSplitRaw(const std::string& path);

}  // namespace vellum::platform
