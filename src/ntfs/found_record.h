// A deleted NTFS file record as a search lists it and a restore takes it:
// where the record is, and the name and folder it was listed under.
#pragma once

#include <cstdint>
#include <string>

namespace vellum::ntfs {

// Where a record is: by number, or (number 0) at the cluster and slot where
// the free-cluster scan found it.
struct NtfsRecordSource {
  uint32_t recordNumber = 0;
  uint64_t cluster = 0;
  uint32_t slot = 0;

  bool operator==(const NtfsRecordSource&) const = default;
};

struct FoundRecord {
  NtfsRecordSource source;
  std::string name;
  std::string folder;  // below the volume root, as listed
  bool isFolder = false;
  // An alternate data stream's row: the stream's name (`name` is then the
  // file's own); the stream alone is restored, beside the file.
  std::string stream;
  // Written under this name instead of the record's own, when not empty
  // (a Recycle Bin file under the name it had before it was deleted).
  std::string restoreName;

  bool operator==(const FoundRecord&) const = default;
};

}  // namespace vellum::ntfs
