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

// "29.7 GB": decimal units (base 1000) as disks are sold and labelled, or
// powers of 1024 (base 1024) as file managers show file sizes.
std::string SizeText(uint64_t bytes, unsigned base = 1000);

// The entries' display names with their summaries: "sdb1 — FAT32 29.7 GB ラベル".
void AddDriveSummaries(volume::DriveTable& table);

// An image the user opens joins the table, one entry per partition, each
// with its summary: the index of the first, or -1 with `error` (the table
// as it was).
int AppendImageEntries(volume::DriveTable& table, const std::string& path, std::string& error);

}  // namespace vellum::app
