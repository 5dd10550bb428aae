// Boot-sector recognition and the geometry every walker works from.
#pragma once

#include <cstdint>
#include <string>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::volume {

// The largest NTFS file record we accept. Real volumes use 1 KiB or 4 KiB; the
// boot sector's encoding allows up to 2 GiB, which would only ever be a
// damaged field asking for a huge allocation.
inline constexpr uint32_t kMaxMftRecordSize = 64 * 1024;
// The largest cluster any of the supported formats defines (exFAT's 32 MiB).
inline constexpr uint64_t kMaxClusterBytes = 32ull * 1024 * 1024;

// Recognition from the first sector: FAT32, FAT16, FAT12, NTFS, exFAT, in that
// order; 0 when nothing matches.
uint8_t RecognizeBootSector(ByteView sector);
// Reads sector 0 of the open volume and sets fsKind; false when unreadable or
// unrecognised.
bool DetectFsKind(ScanState& state);

// A partition-table type byte mapped to the file system it announces.
uint8_t PartitionTypeToFsKind(uint8_t type);

// FAT12/16/32 and exFAT geometry from a boot sector. A sector too short for
// its fields gives 0 for those it lacks, as an unreadable one gives zeros; it
// is counted in truncatedStructures and the result is false.
bool ParseBootGeometry(ScanState& state, ByteView boot, uint64_t partitionStart);
// Reads the boot sector of the volume and parses it; false when unreadable.
bool ReadBootGeometry(ScanState& state, uint64_t partitionStart);

// The sectors per cluster an NTFS boot sector's byte 13 stands for: the
// count up to 0x80, a power of two 2^(256 - value) above; 0 when absurd.
uint32_t NtfsSectorsPerCluster(uint8_t stored);

// NTFS geometry from state.ntfsBoot.
void ReadNtfsGeometry(ScanState& state);
// The master file table's first cluster, as the NTFS boot sector gives it.
uint64_t MftStartCluster(const ScanState& state);
// The record size the NTFS boot sector encodes (0 when it encodes nothing usable).
uint64_t MftRecordSizeOf(const ScanState& state);
// Reads file record 0 into mftRecord0 with fixups applied. False when the
// record size is out of range or the record cannot be read.
bool ReadMftRecord0(ScanState& state);

// Why the geometry cannot be worked with, or empty when it can. The geometry
// readers take the boot sector at its word; this is the one place that refuses
// values which would divide by zero or ask for absurd buffers.
std::string CheckGeometry(const ScanState& state);

}  // namespace vellum::volume
