#include "fat/wipe.h"

namespace vellum::fat {

void WipeOrphanedFatDirectories(volume::ScanState&) {}

}  // namespace vellum::fat
