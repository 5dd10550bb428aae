// Fuzz target for the whole NTFS search over a volume of up to 16 MiB given
// as a sparse image (sparse_image.h): the boot sector, the table's own
// record, its bitmap, attribute lists, extension records and parent chains
// are all the input's. The table walk lists the free records, then the free-
// cluster scan reads the first clusters with content analysis.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "content/analyse_cluster.h"
#include "fuzz/sparse_image.h"
#include "ntfs/ntfs_cluster_scan.h"
#include "ntfs/ntfs_search.h"
#include "platform/block_device.h"
#include "support/counting_rows.h"
#include "volume/boot_sector.h"
#include "app/volume_tables.h"

namespace {

constexpr size_t kVolumeBytes = 16u << 20;

class FirstClusters : public vellum::ClusterRangeAsker {
 public:
  bool RunClusterRangeDialog(uint64_t&, uint64_t& last) override {
    last = std::min<uint64_t>(last, 512);
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vellum;
  volume::ScanState s;
  s.volumeHandle = std::make_unique<platform::MemoryBlockDevice>(fuzz::LaySparseImage(data, size, kVolumeBytes),
                                                                 false, 512, kVolumeBytes);
  if (!volume::DetectFsKind(s) || s.fsKind != volume::kNtfs || !app::LoadVolumeTables(s).empty()) return 0;
  vellum::testing::CountingRows rows;
  s.rows = &rows;
  s.rootPath = "fuzz:/";
  s.options.zeroSize = size % 2;
  if (size % 3 == 0) s.options.filter = "A";
  ntfs::SearchNtfs(s, 0, "");
  s.clusterScan = 1;
  s.options.analyse = true;
  FirstClusters range;
  ntfs::ScanNtfsFreeClusters(s, size % 5 == 0, range, content::AnalyseClusterContents);
  return 0;
}
