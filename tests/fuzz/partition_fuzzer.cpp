// Fuzz target: the input is the start of a whole disk. Reading its partition
// table (MBR and its chain of extended boot records, GPT with its backup),
// telling a volume from a table, and reading each partition through its
// window must survive anything without crashing, hanging or allocating
// beyond the caps.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/block_device.h"
#include "volume/boot_sector.h"
#include "volume/partition_table.h"
#include "volume/source.h"

namespace {

using namespace vellum;

void ReadTable(const uint8_t* data, size_t size, uint32_t sectorSize) {
  auto disk = std::make_shared<platform::MemoryBlockDevice>(std::vector<uint8_t>(data, data + size),
                                                            false, sectorSize);
  const volume::PartitionTable table = volume::ReadPartitionTable(*disk);
  if (table.partitions.size() > 8192 + volume::kMaxLogicalPartitions + 4) __builtin_trap();
  for (const volume::Partition& p : table.partitions) {
    if (p.lengthBytes > disk->Size() || (p.lengthBytes > 0 && p.startByte > disk->Size() - p.lengthBytes))
      __builtin_trap();  // a partition reaching outside the disk
    platform::OffsetWindow window(disk, p.startByte, p.lengthBytes);
    std::vector<uint8_t> sector(512);
    window.Read(0, sector);
    volume::RecognizeBootSector(sector);
  }
  volume::DescribePartitions("fuzz.img", table);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  volume::IsVolumeBootSector({data, size});
  ReadTable(data, size, 512);
  ReadTable(data, size, 4096);
  return 0;
}
