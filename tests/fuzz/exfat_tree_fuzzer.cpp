// Fuzz target for the exFAT walk in every mode over a volume that can hold
// deep folder trees: up to 65536 clusters of 512 bytes (32 MiB), given as a
// sparse image (sparse_image.h) whose first 256 KiB are the FAT, the rest
// the clusters from cluster 2 on, the root in cluster 2. A deleted folder
// costs a piece of about a hundred bytes, so a megabyte of input nests
// thousands deep, and chains, sizes and loops are whatever the input says.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fat/fat_walk.h"
#include "fuzz/sparse_image.h"
#include "platform/block_device.h"
#include "support/counting_rows.h"

namespace {

constexpr size_t kClusters = 65536;
constexpr size_t kFatBytes = kClusters * 4;
constexpr uint32_t kClusterBytes = 512;
constexpr size_t kVolumeBytes = kFatBytes + kClusters * kClusterBytes;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vellum;
  std::vector<uint8_t> image = fuzz::LaySparseImage(data, size, kVolumeBytes);
  image.resize(kVolumeBytes);
  volume::ScanState s;
  s.fsKind = volume::kExfat;
  s.bytesPerSector = 512;
  s.sectorsPerCluster = 1;
  s.clusterBytes = kClusterBytes;
  s.firstDataSector = kFatBytes / 512;
  s.rootCluster = 2;
  s.lastCluster = kClusters + 1;
  s.fat.assign(image.begin(), image.begin() + kFatBytes);
  s.fatWork = s.fat;
  s.exfatBitmap.assign(kClusters / 8, size % 2 ? 0 : 0x55);
  // Complete deletion writes into the image; the other modes only read it.
  s.operationMode = size % 3 == 0 ? volume::kModeCompleteDeletion : volume::kModeSearch;
  s.volumeHandle = std::make_unique<platform::MemoryBlockDevice>(std::move(image), true);
  vellum::testing::CountingRows rows;
  s.rows = &rows;
  s.rootPath = "fuzz:/";
  s.options.zeroSize = true;
  s.options.inUse = size % 5 == 0;
  s.options.thorough = size % 4 == 1;
  fat::WalkFatExfat(s);
  return 0;
}
