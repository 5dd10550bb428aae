// The partition table of a whole disk (or a whole-disk image): MBR with its
// chain of extended boot records, or GPT. Partitions are numbered 1..N in the
// order found, which is the N of `--partition N` and of `card.img#N:/`.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/block_device.h"
#include "volume/le.h"

namespace vellum::volume {

enum class TableKind : uint8_t { None, Mbr, Gpt };

using Guid = std::array<uint8_t, 16>;

struct Partition {
  uint32_t number = 0;       // 1..N in table order
  uint64_t startByte = 0;
  // Clipped to the device: a table may claim more than the disk holds, and a
  // partition that starts past the end keeps its number with length 0.
  uint64_t lengthBytes = 0;
  bool clipped = false;      // the table claimed more than lengthBytes
  bool logical = false;      // found in the extended chain
  uint8_t mbrType = 0;       // 0 on GPT
  Guid gptType{};            // all zero on MBR
  uint8_t fsKind = 0;        // FsKind, from the boot sector or else the type byte
};

struct PartitionTable {
  TableKind kind = TableKind::None;
  uint32_t sectorSize = 512;  // the unit the table's sector numbers count in
  std::vector<Partition> partitions;
};

// Hard limits on what a hostile table can make us do.
inline constexpr size_t kMaxLogicalPartitions = 128;
inline constexpr uint64_t kMaxGptEntryArrayBytes = 1024 * 1024;
inline constexpr uint32_t kMaxGptEntrySize = 4096;

// Reads the table at the start of `disk`. TableKind::None when the disk holds
// no table: unpartitioned (a volume boot sector at sector 0, a "superfloppy"),
// blank, or unreadable.
PartitionTable ReadPartitionTable(platform::BlockDevice& disk);

// True when sector 0 is a volume's own boot sector rather than a master boot
// record. Both end in 0x55AA; the boot sector wins when it is recognised.
bool IsVolumeBootSector(ByteView sector0);

// "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7" in the mixed-endian text form.
std::string FormatGuid(const Guid& guid);

// "FAT16", "NTFS", ... or "unknown" for a partition's file-system guess.
std::string PartitionFsText(const Partition& partition);

}  // namespace vellum::volume
