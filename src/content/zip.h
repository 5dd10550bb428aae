// ZIP archives and the Office Open XML documents that are ZIP archives.
#pragma once

#include <cstdint>
#include <string>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::content {

// "xlsx", "docx" or "pptx" when one of the first local headers names a member
// under the application's folder before a member of 4,096 bytes or more, else "zip".
std::string ClassifyZip(volume::ScanState& state, uint64_t cluster, ByteView data);

// The offset of the first end-of-central-directory record plus its 22 bytes
// and its comment.
uint64_t MeasureZip(volume::ScanState& state, uint64_t cluster, ByteView data);

}  // namespace vellum::content
