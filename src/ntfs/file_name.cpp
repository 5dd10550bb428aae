#include "ntfs/file_name.h"

#include <vector>

#include "ntfs/attribute.h"
#include "ntfs/find_attribute.h"

namespace vellum::ntfs {

std::optional<FileName> FileNameOf(volume::ScanState& state, ByteView record) {
  std::vector<uint8_t> copy(record.begin(), record.end());
  const auto ref = FindAttribute(state, copy, kAttrFileName, 0, false);
  if (!ref) return std::nullopt;
  // FindAttribute only returns names that fit their value.
  const ByteView value = ResidentValue(AttributeBytes(copy, *ref));
  FileName name;
  name.parentReference = Le64(value, 0);
  name.nameSpace = Le8(value, 65);
  const uint8_t units = Le8(value, 64);
  name.name.reserve(units);
  for (uint64_t i = 0; i < units; ++i) name.name.push_back(static_cast<char16_t>(Le16(value, 66 + 2 * i)));
  return name;
}

}  // namespace vellum::ntfs
