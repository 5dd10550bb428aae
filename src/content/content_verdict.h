// What a listed recognised file's own checks say of it, worked out from the
// volume when it is asked for (listing, restore, the window): a photo is
// decoded to its end, a PNG's chunk CRCs are checked, other types have no
// checker. Nothing of it is stored with the row, so a list loaded from a
// results file is checked the same way.
#pragma once

#include <string>

#include "content/content_check.h"
#include "content/found_content.h"
#include "volume/scan_state.h"

namespace vellum::content {

// Reads the file along the cluster-following rule, `found.size` bytes from
// its first cluster. On NTFS the cluster bitmap must be loaded.
ContentCheck CheckFoundContent(volume::ScanState& state, const FoundContent& found);

// "verified", "damaged from byte N", "not checked": the words scripts read.
std::string ContentCheckKey(const ContentCheck& check);
// The same for a person: "検証済み", "破損 (N バイト目から)", "未検査".
std::string ContentCheckText(const ContentCheck& check);

}  // namespace vellum::content
