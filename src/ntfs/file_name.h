// The name of a file record: its $FILE_NAME with the long (Win32 or POSIX) name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::ntfs {

inline constexpr uint8_t kNamespacePosix = 0;
inline constexpr uint8_t kNamespaceWin32 = 1;
inline constexpr uint8_t kNamespaceDos = 2;
inline constexpr uint8_t kNamespaceWin32AndDos = 3;

struct FileName {
  uint64_t parentReference = 0;  // low 32 bits: the parent folder's record number
  uint8_t nameSpace = 0;
  std::u16string name;
};

// The first $FILE_NAME of the record whose name is not a DOS-only 8.3 name,
// followed through the attribute list when the record holds none. The
// record passed in is not changed (the search runs on a copy).
std::optional<FileName> FileNameOf(volume::ScanState& state, ByteView record);
// The name held by one $FILE_NAME attribute (its bytes in the record); none
// when its value does not hold it.
std::optional<FileName> FileNameIn(ByteView attribute);

}  // namespace vellum::ntfs
