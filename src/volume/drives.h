// The drive table: what can be searched, in the order the drive box shows it.
// On Linux the drives are the block devices the kernel lists under
// /sys/class/block, followed by the image files the user names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/block_device.h"
#include "volume/partition_table.h"

namespace vellum::volume {

struct ScanState;

enum DriveType : int32_t {
  kDriveRemovable = 2,
  kDriveFixed = 3,
};

struct DriveEntry {
  int32_t index = 0;            // position in the table, from 0
  std::string rootText;         // "sdb1:/", "card.img:/", "card.img#2:/"
  int32_t driveType = kDriveFixed;
  std::string displayName;
  std::string sourcePath;       // the device node or the image file
  uint32_t partitionNumber = 0; // of an image's partition table; 0 when the source is opened whole
  uint64_t offset = 0;          // bytes into sourcePath
  uint64_t length = 0;          // bytes
  std::string deviceNumber;     // "8:17" for block devices, "C:" for a lettered drive, empty for images
  std::string containerKind;    // "E01", "VHD", ... for an image container; empty for raw bytes
  // The legacy path: a removable drive's BIOS unit, a fixed drive's index in
  // the BIOS partition list; 255 when it has none.
  uint8_t unitByte = 255;
};

struct DriveTable {
  std::vector<DriveEntry> entries;
  int32_t defaultIndex = -1;    // the selection the drive box starts with; -1 when empty
  std::vector<std::string> errors;  // one per image that could not be listed
};

struct DriveSources {
  std::string sysfsBlock = "/sys/class/block";
  std::string devDir = "/dev";
  // "MAJ:MIN" of the device holding the running system's root file system,
  // the drive selected by default; empty to look it up from "/".
  std::string systemDevice;
  std::vector<std::string> images;
};

// Builds the drive table: block devices in name order, then each image (one
// entry per partition of a whole-disk image).
DriveTable EnumerateDrives(const DriveSources& sources);

// The block devices alone.
std::vector<DriveEntry> ListBlockDevices(const std::string& sysfsBlock, const std::string& devDir);

// The entries of one image file appended to `table`; false with an error
// text when the image cannot be listed.
bool AppendImage(DriveTable& table, const std::string& path, std::string& error);
// The same for an image already open as `whole` (a container of `kind`,
// empty for raw bytes), with its partition table.
bool AppendImage(DriveTable& table, const std::string& path, platform::BlockDevice& whole,
                 const std::string& kind, const PartitionTable& partitions, std::string& error);

// The system drive, else the first entry; -1 for an empty table.
int32_t DefaultDriveIndex(const std::vector<DriveEntry>& entries, const std::string& systemDevice);

// What selecting a drive does to the "also list files whose clusters are in
// use" option, which only the FAT-family walks support.
enum class InUseOption { Keep, Enable, Disable };

// A floppy is enabled without being opened; any other drive is opened and
// recognised, disabled when NTFS, and left as it was when it cannot be opened.
InUseOption OnDriveSelected(const DriveEntry& entry);
// The drive box's selection handler: on the legacy path (isNt 0) selecting
// a drive changes nothing.
InUseOption OnDriveSelected(const ScanState& state, const DriveEntry& entry);
// The same decision for a drive already opened (null when it could not be).
InUseOption InUseOptionFor(const DriveEntry& entry, platform::BlockDevice* device);

}  // namespace vellum::volume
