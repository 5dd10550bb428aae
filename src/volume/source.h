// Opening what a command works on: an image file or a device, whole or one
// partition of it, read through an offset window of the whole.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/block_device.h"
#include "platform/device_open.h"
#include "volume/partition_table.h"

namespace vellum::volume {

struct OpenedSource {
  std::unique_ptr<platform::BlockDevice> device;  // null on failure
  std::string rootText;                           // "card.img:/", "card.img#2:/", "sdb1:/"
  std::string error;                              // names the path and the reason; empty on success
  int errorCode = 0;         // errno when the system refused to open the path
  std::string systemText;    // the system's own text for errorCode
  std::string containerKind; // "E01", "VHD", ... when the path is an image container; empty for raw bytes
  bool partitionChoice = false;  // the error is the partition asked for (or the lack of one): bad usage
};

// Opens `path` (read-only unless asked) and, for partitionNumber 1..N, the
// partition of that number. A whole disk with a partition table needs a
// number; a source without one refuses any.
OpenedSource OpenSource(const std::string& path, uint32_t partitionNumber,
                        platform::OpenAccess access = platform::OpenAccess::ReadOnly);

// Why `partitionNumber` (0: the whole source) cannot be opened on a source
// with `table`; empty when it can.
std::string PartitionChoiceError(const std::string& path, const PartitionTable& table, uint32_t partitionNumber);

// "<name>:/" or, for a partition of an image, "<name>#<n>:/".
std::string RootText(const std::string& name, uint32_t partitionNumber);

// The name a source is known by in root texts: a device's kernel name
// ("/dev/mapper/vg-root" is "dm-0"), an image's file name.
std::string SourceName(const std::string& path);

// One line per partition: number, root text, size, file-system guess.
std::string DescribePartitions(const std::string& name, const PartitionTable& table);

// "8.0 MiB": sizes for people, in binary units.
std::string FormatSize(uint64_t bytes);

}  // namespace vellum::volume
