// Fuzz target: the input is the start of a FAT volume. The directory walk,
// then the cluster scan with content analysis, must survive any directory
// contents, chains, names and file data without crashing, hanging or reading
// outside their buffers.
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "content/analyse_cluster.h"
#include "fat/cluster_scan.h"
#include "fat/fat_walk.h"
#include "platform/block_device.h"
#include "volume/boot_sector.h"
#include "app/volume_tables.h"
#include "support/counting_rows.h"

namespace {

// The first clusters of the volume: enough to reach past the input's end,
// few enough that a hostile cluster count does not make one run slow.
class FirstClusters : public vellum::ClusterRangeAsker {
 public:
  bool RunClusterRangeDialog(uint64_t&, uint64_t& last) override {
    last = std::min<uint64_t>(last, 4096);
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vellum;
  volume::ScanState s;
  // The input is the start of a 4 MiB volume; the rest reads as zeros.
  s.volumeHandle = std::make_unique<platform::MemoryBlockDevice>(std::vector<uint8_t>(data, data + size), false,
                                                                 512, 4u << 20);
  if (!volume::DetectFsKind(s) || !app::LoadVolumeTables(s).empty()) return 0;
  vellum::testing::CountingRows rows;
  s.rows = &rows;
  s.rootPath = "fuzz:/";
  s.options.zeroSize = size % 2;
  s.options.inUse = size % 3 == 0;
  if (size % 5 == 0) s.options.filter = "A";
  s.options.thorough = size % 4 < 2;  // the walk, then its look at the free clusters
  fat::WalkFatExfat(s);

  s.clusterScan = 1;
  s.allClusters = size % 7 == 0;
  FirstClusters range;
  if (s.fsKind == volume::kExfat)
    fat::ScanExfatClusters(s, s.allClusters, range, content::AnalyseClusterContents);
  else
    fat::ScanFatClusters(s, range, content::AnalyseClusterContents);
  return 0;
}
