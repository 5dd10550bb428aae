#include "ntfs/file_name.h"

#include <vector>

#include "ntfs/attribute.h"
#include "ntfs/find_attribute.h"
#include "volume/ntfs_layout.h"

namespace vellum::ntfs {

std::optional<FileName> FileNameIn(ByteView attribute) {
  // FindAttribute only returns names that fit their value; the reader checks
  // that again rather than lean on it.
  FieldReader r(ResidentValue(attribute));
  FileName name;
  name.parentReference = r.Read(ntfs_layout::kParentReference);
  const uint8_t units = r.Read(ntfs_layout::kFileNameUnits);
  name.nameSpace = r.Read(ntfs_layout::kFileNameSpace);
  const ByteView text = r.Bytes(ntfs_layout::kFileNameTextOffset, 2ull * units);
  if (!r.Ok()) return std::nullopt;
  name.name.reserve(units);
  for (uint64_t i = 0; i < units; ++i) name.name.push_back(static_cast<char16_t>(Le16(text, 2 * i)));
  return name;
}

std::optional<FileName> FileNameOf(volume::ScanState& state, ByteView record) {
  std::vector<uint8_t> copy(record.begin(), record.end());
  const auto ref = FindAttribute(state, copy, kAttrFileName, 0, false);
  if (!ref) return std::nullopt;
  return FileNameIn(AttributeBytes(copy, *ref));
}

}  // namespace vellum::ntfs
