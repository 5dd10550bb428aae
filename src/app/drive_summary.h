// What a drive holds, for its entry in the drive box and in `drives`: the
// file system, the size and the label, so that two cards of one kind can be
// told apart.
#pragma once

#include <string>

#include "volume/drives.h"

namespace vellum::app {

struct DriveFacts {
  bool opened = false;
  uint64_t bytes = 0;
  std::string fileSystem;  // FAT12 ... NTFS; empty when not recognised
  std::string label;
};

DriveFacts DescribeDrive(const volume::DriveEntry& entry);

// "FAT32 29.7 GB ラベル"; the size alone when the volume is not recognised;
// empty when it cannot be opened.
std::string DriveSummary(const DriveFacts& facts);

// Decimal units, as disks are sold and labelled: "29.7 GB".
std::string SizeText(uint64_t bytes);

// The entries' display names with their summaries: "sdb1 — FAT32 29.7 GB ラベル".
void AddDriveSummaries(volume::DriveTable& table);

}  // namespace vellum::app
