// Fuzz target: the input is the start of a FAT volume. The directory walk
// must survive any directory contents, chains and names without crashing,
// hanging or reading outside its buffers.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fat/fat_walk.h"
#include "platform/block_device.h"
#include "volume/boot_sector.h"
#include "volume/volume_tables.h"
#include "support/counting_rows.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vellum;
  volume::ScanState s;
  // The input is the start of a 4 MiB volume; the rest reads as zeros.
  s.volumeHandle = std::make_unique<platform::MemoryBlockDevice>(std::vector<uint8_t>(data, data + size), false,
                                                                 512, 4u << 20);
  if (!volume::DetectFsKind(s) || !volume::LoadVolumeTables(s).empty()) return 0;
  vellum::testing::CountingRows rows;
  s.rows = &rows;
  s.rootPath = "fuzz:/";
  s.options.zeroSize = size % 2;
  s.options.inUse = size % 3 == 0;
  if (size % 5 == 0) s.options.filter = "A";
  fat::WalkFatExfat(s);
  return 0;
}
