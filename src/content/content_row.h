// How a recognised file becomes a row: the name filter applied through the
// extension, candidate extensions, and the row itself. A file found by its
// contents has no name, folder or time of its own, so the row says "不明".
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "content/found_content.h"
#include "restore/restore_target.h"
#include "volume/scan_state.h"

namespace vellum::content {

using volume::ScanState;

// The size given to a file whose format tells no better answer: 10 MiB.
inline constexpr uint64_t kDefaultSize = 10'485'760;

// True when the filter is empty or occurs in "." + the upper-cased extension,
// so a filter JPG, .JPG or PG admits "jpg" and a file-name filter admits nothing.
bool PassesNameFilter(const ScanState& state, std::string_view ext);

// With an empty filter leaves ext as it is (the format's default) and admits;
// otherwise picks the first candidate that passes the filter. False when none does.
bool PickCandidateExtension(const ScanState& state, std::initializer_list<std::string_view> candidates,
                            std::string& ext);

// Lists "不明<cluster>.<ext>" with its size, the cluster in column 5 (6 on NTFS).
void AddContentRow(ScanState& state, std::string_view ext, uint64_t cluster, uint64_t size);

// Restores a listed recognised file into the destination folder of its
// folder: its bytes followed from its first cluster as the analysis
// measured them, with no time of its own (it keeps the time it is written).
// A file restored before in the same command is not written again. On NTFS
// the caller loads the cluster bitmap, once for every such file. False
// when its name cannot be a file name.
bool RestoreFoundContent(ScanState& state, const restore::RestoreTarget& target, const FoundContent& found);

}  // namespace vellum::content
