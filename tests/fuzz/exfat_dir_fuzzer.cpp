// Fuzz target for the exFAT directory walk. The input is a tiny volume laid
// out directly: a FAT of 64 entries, then 512-byte clusters from cluster 2 on,
// the root directory in cluster 2. Entry sets, names, chains that loop or
// leave the volume, and deleted folders pointing anywhere must never crash
// or hang the walk.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fat/fat_walk.h"
#include "platform/block_device.h"
#include "support/counting_rows.h"

namespace {

constexpr size_t kFatBytes = 64 * 4;
constexpr uint32_t kClusterBytes = 512;


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vellum;
  if (size < kFatBytes + kClusterBytes) return 0;
  volume::ScanState s;
  s.fsKind = volume::kExfat;
  s.bytesPerSector = 512;
  s.sectorsPerCluster = 1;
  s.clusterBytes = kClusterBytes;
  s.firstDataSector = 0;
  s.rootCluster = 2;
  s.lastCluster = std::min<uint64_t>(63, (size - kFatBytes) / kClusterBytes + 1);
  s.fat.assign(data, data + kFatBytes);
  s.fatWork = s.fat;
  s.exfatBitmap.assign(8, static_cast<uint8_t>(size));
  s.volumeHandle =
      std::make_unique<platform::MemoryBlockDevice>(std::vector<uint8_t>(data + kFatBytes, data + size));
  vellum::testing::CountingRows rows;
  s.rows = &rows;
  s.rootPath = "fuzz:/";
  s.options.zeroSize = true;
  s.options.inUse = size % 2;
  fat::WalkFatExfat(s);
  return 0;
}
