// The entry point of content analysis: the cluster scans hand every cluster
// they examine here, as the possible first cluster of a lost file.
#pragma once

#include <cstdint>

#include "content/found_content.h"
#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::content {

// Recognises a file type from the first bytes of `data` (the cluster's bytes
// as the scan read them, at least clusterBytes long), works out the file's
// length from its structure and adds one row for it, when the extension passes
// the name filter. A cluster whose bytes match no signature adds nothing.
void AnalyseClusterContents(volume::ScanState& state, uint64_t cluster, ByteView data);

// Whether the listed file's first cluster still begins with the signature
// its extension was recognised by (read from the volume). False when the
// cluster cannot be read or lies outside the volume.
bool StartsWithSignatureOf(volume::ScanState& state, const FoundContent& found);

}  // namespace vellum::content
