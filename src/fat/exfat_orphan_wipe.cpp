#include "fat/wipe.h"

namespace vellum::fat {

void WipeOrphanedExfatDirectories(volume::ScanState&) {}

}  // namespace vellum::fat
