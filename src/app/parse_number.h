// The decimal reader lives beside the volume code, which content analysis
// shares with the application; the application keeps its familiar name for it.
#pragma once

#include "volume/parse_number.h"

namespace vellum::app {

using volume::ParseUnsigned64;

}  // namespace vellum::app
