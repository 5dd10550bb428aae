// Fuzz target: the input is the start of a disk behind the emulated disk
// BIOS. The first two bytes choose its geometry and whether it takes extended
// transfers; enumerating its partitions (the master boot record, the chain of
// extended boot records, each partition's boot sector) and reading through
// the CHS split must survive any table without crashing or hanging, and a
// chain that loops must end.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/disk_bios.h"
#include "volume/bios_disks.h"
#include "volume/bios_sectors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vellum;
  if (size < 2) return 0;
  const uint32_t heads = 1u + data[0] % 255u;
  const uint32_t sectorsPerTrack = 1u + (data[1] & 0x3F) % 63u;
  const bool lba = (data[1] & 0x40) != 0;
  platform::EmulatedDiskBios bios;
  // A disk of at least a few tracks: the rest of it reads as zeros.
  const uint64_t bytes = std::max<uint64_t>(size - 2, 64 * 1024);
  bios.AddUnit(std::make_unique<platform::MemoryBlockDevice>(std::vector<uint8_t>(data + 2, data + size), false, 512,
                                                             bytes),
               heads, sectorsPerTrack, lba);
  volume::BiosDiskTables tables;
  volume::EnumerateBiosDisks(bios, tables);
  if (tables.partitions.size() > volume::kMaxBiosPartitions) __builtin_trap();
  for (const volume::BiosPartition& p : tables.partitions) volume::PairFixedDrive(tables, p.serial);

  volume::ScanState s;
  s.isNt = 0;
  s.bios = &bios;
  s.biosUnit = 0x80;
  s.bytesPerSector = 512;
  s.lbaSupported = bios.i13_lba_check(0x80);
  bios.i13_get_drive_parameter(0x80, s.biosGeometry);
  std::vector<uint8_t> out(130 * 512);
  volume::BiosReadSectors(s, out, data[0], 130);
  return 0;
}
