// The deleted folder a walk restore on NTFS starts from, checked before
// anything is written: a folder record other than the root, and where it
// lies, so its contents land below the destination as a row restore puts them.
#pragma once

#include <cstdint>
#include <string>

#include "volume/scan_state.h"

namespace vellum::app {

struct NtfsFolderChoice {
  bool ok = false;
  std::string error;         // why the record cannot be the folder, for the user
  std::string relativePath;  // the folder's path below the root, "/"-separated, names checked
};

NtfsFolderChoice CheckNtfsFolderChoice(volume::ScanState& state, uint32_t record);

}  // namespace vellum::app
