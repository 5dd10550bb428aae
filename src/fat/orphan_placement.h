// Where the entries of an orphaned directory cluster are listed. A quick
// format forgets the root, but the card's DCIM folder still names its
// 100CAMERA folder, and that folder's own cluster still holds the photos:
// both clusters are orphaned. Listing the photos under "<不明>" beside the
// 100CAMERA row would restore each of them twice (once as the folder's
// contents, once as a row), so a cluster that a folder row already listed
// points at is listed below that folder instead. The clusters are met in
// ascending order, and a folder is nearly always made before what it holds,
// so the folder's row comes first.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "volume/le.h"

namespace vellum::fat {

class OrphanPlacement {
 public:
  // unknownFolder: the folder text of a cluster no listed folder names.
  OrphanPlacement(std::string unknownFolder, uint32_t clusterBytes, uint64_t lastCluster);

  // A folder listed from a scanned cluster: its first cluster, its size in
  // bytes where the volume keeps one (exFAT; 0 on FAT) and its full folder
  // text (the listing folder, a separator and its name).
  void NoteFolder(uint64_t firstCluster, uint64_t size, std::string path);

  // The folder text of the entries of scanned cluster `j`. On FAT, a
  // cluster that does not begin a directory ("." first) and follows a placed
  // cluster that read as entries continues that directory.
  const std::string& FolderOf(uint64_t j, ByteView cluster, bool fat);

 private:
  std::string unknown_;
  uint32_t clusterBytes_;
  uint64_t lastCluster_;
  std::unordered_map<uint64_t, std::string> byCluster_;
  uint64_t placedCluster_ = 0;  // the last cluster given a folder of its own, 0 for none
  bool placedEnded_ = false;    // and whether its directory ended in it
  std::string placedFolder_;
};

}  // namespace vellum::fat
