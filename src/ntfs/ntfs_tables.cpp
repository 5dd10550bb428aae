#include "ntfs/ntfs_tables.h"

#include "volume/boot_sector.h"
#include "volume/source.h"

namespace vellum::ntfs {

using volume::CheckGeometry;
using volume::kMaxMftRecordSize;
using volume::MftRecordSizeOf;
using volume::ReadMftRecord0;
using volume::ReadNtfsGeometry;
using volume::ScanState;

std::string LoadNtfsTables(ScanState& state) {
  if (!state.volumeHandle->Read(0, state.ntfsBoot)) return "cannot read the boot sector";
  ReadNtfsGeometry(state);
  if (std::string why = CheckGeometry(state); !why.empty()) return why;
  if (MftRecordSizeOf(state) == 0 || MftRecordSizeOf(state) > kMaxMftRecordSize)
    return "the boot sector gives a file record size of " + std::to_string(MftRecordSizeOf(state)) +
           " bytes";
  if (!ReadMftRecord0(state)) return "cannot read the master file table's first record";
  return {};
}

}  // namespace vellum::ntfs
