// Fuzz target: the input is a run list (after 16 bytes giving the extent's
// first and last VCN). Decoding, mapping and reading over a small volume must
// end at every damaged run without reading outside the volume.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ntfs/data_runs.h"
#include "platform/block_device.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vellum;
  if (size < 16) return 0;
  const ByteView in(data, size);
  ntfs::Extent extent;
  extent.firstVcn = Le64(in, 0) % 4096;
  extent.lastVcn = Le64(in, 8);
  extent.runList.assign(data + 16, data + size);

  ntfs::RunListReader reader(extent.runList, extent.firstVcn);
  uint64_t runs = 0;
  for (ntfs::Run run; reader.Next(run);) ++runs;
  if (runs > size) __builtin_trap();  // every run takes at least two bytes

  volume::ScanState s;
  s.fsKind = volume::kNtfs;
  s.bytesPerSector = 512;
  s.sectorsPerCluster = 1;
  s.clusterBytes = 512;
  s.lastCluster = 63;
  s.volumeHandle = std::make_unique<platform::MemoryBlockDevice>(std::vector<uint8_t>(64 * 512, 0xA5));
  for (uint64_t vcn : {extent.firstVcn, extent.firstVcn + 1, extent.firstVcn + 100, extent.lastVcn}) {
    const ntfs::VcnMapping m = ntfs::MapVcn(extent, vcn);
    if (m.found && m.left == 0) __builtin_trap();
  }
  std::vector<uint8_t> buffer(32 * 512);
  uint64_t sparse = 0;
  const uint64_t delivered = ntfs::ReadRunClusters(s, extent, extent.firstVcn, 32, buffer, sparse);
  if (delivered > 32 || sparse > delivered) __builtin_trap();
  return 0;
}
