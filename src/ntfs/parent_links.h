// The folder records a walk steps over when it rebuilds paths from parent
// references: each read once, kept as its name and its parent, never as a
// whole path, so a chain of folders costs one small entry per folder however
// deep it runs.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "volume/scan_state.h"

namespace vellum::ntfs {

struct ParentLink {
  bool folder = false;  // read, and a folder
  bool named = false;   // with a file name attribute
  std::string name;     // UTF-8
  size_t nameLength = 0;  // in code page 932
  uint64_t parentReference = 0;
};

class ParentLinks {
 public:
  // Record n as a link; the disk does not change during a walk.
  const ParentLink& Of(volume::ScanState& state, uint32_t n);

 private:
  std::unordered_map<uint32_t, ParentLink> links_;
};

}  // namespace vellum::ntfs
