#include "ntfs/parent_links.h"

#include <span>
#include <vector>

#include "ntfs/attribute.h"
#include "ntfs/file_name.h"
#include "ntfs/record.h"
#include "platform/codepage.h"

namespace vellum::ntfs {

const ParentLink& ParentLinks::Of(volume::ScanState& state, uint32_t n) {
  const auto found = links_.find(n);
  if (found != links_.end()) return found->second;
  ParentLink link;
  std::vector<uint8_t> record(state.mftRecordSize);
  link.folder = !record.empty() && ReadMftRecord(state, n, record) && (RecordFlags(record) & kRecordDirectory) != 0;
  if (link.folder) {
    const auto name = FileNameOf(state, record);
    link.named = name.has_value();
    if (name) {
      platform::Utf16ToUtf8(
          std::span<const uint16_t>(reinterpret_cast<const uint16_t*>(name->name.data()), name->name.size()),
          link.name);
      link.nameLength = platform::Cp932Length(link.name);
      link.parentReference = name->parentReference;
    }
  }
  return links_.emplace(n, std::move(link)).first->second;
}

}  // namespace vellum::ntfs
