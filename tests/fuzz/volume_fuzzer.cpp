// Fuzz target: the input is the start of a disk image. Recognition, geometry,
// table loading (FAT, exFAT bitmap, the first file record with its fixups) and
// the table accessors must survive anything without crashing, hanging or
// allocating beyond what the image could justify.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fat/cluster_runs.h"
#include "platform/block_device.h"
#include "volume/boot_sector.h"
#include "volume/fixups.h"
#include "volume/sector_io.h"
#include "app/volume_tables.h"

namespace {

using namespace vellum;

void WalkTables(volume::ScanState& s) {
  uint64_t c = 0;
  for (int i = 0; i < 4096 && volume::NextCandidateCluster(s, c, true); ++i) {
  }
  fat::LiveChain chain(s, s.rootCluster);
  for (uint64_t x; chain.Next(x);) fat::ClaimDeletedDirectory(s, x + 1);
  fat::ExfatRun dir(s, s.rootCluster, 1, fat::ExfatRun::Kind::Directory);
  for (uint64_t x; dir.Next(x);) {
  }
  fat::DeletedFileRun run(s, s.rootCluster + 1, 64ull * s.clusterBytes);
  for (uint64_t x; run.Next(x);) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);

  std::vector<uint8_t> record = bytes;
  volume::ApplyFixups(record);

  volume::ScanState s;
  // Odd first bytes make the input the whole device (cut-off images); even
  // ones the start of a 4 MiB volume whose rest reads as zeros.
  const uint64_t deviceSize = size > 0 && data[0] % 2 == 0 ? 4u << 20 : 0;
  s.volumeHandle = std::make_unique<platform::MemoryBlockDevice>(std::move(bytes), false, 512, deviceSize);
  if (!volume::DetectFsKind(s)) return 0;
  if (!app::LoadVolumeTables(s).empty()) return 0;
  if (s.fsKind != volume::kNtfs) WalkTables(s);
  return 0;
}
