// A deleted FAT or exFAT entry as the walks find it and a result row keeps
// it: everything a restore needs, decoded once from the entry's bytes (or
// read once from a row), never rendered to text and parsed back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "volume/scan_state.h"

namespace vellum::fat {

using volume::ScanState;

// The folder text of every entry a cluster scan finds below the root.
inline constexpr std::string_view kOrphanFolder = "<不明>";

struct FoundEntry {
  std::string name;
  // The folder it was found in, below the volume root ("" for the root,
  // "docs/old", or kOrphanFolder for an entry read from a scanned cluster).
  std::string folder;
  uint64_t firstCluster = 0;
  uint64_t size = 0;  // of a FAT folder: 0, as its row keeps none
  uint16_t dosDate = 0;
  uint16_t dosTime = 0;
  uint8_t tenMs = 0;  // exFAT: what the two-second steps of dosTime leave out (0..199)
  bool isFolder = false;
  bool fatChain = false;  // exFAT: the data follows the FAT, not a contiguous run
  // The cluster a cluster scan read the entry's slot from; 0 when a walk
  // found it in its folder (or the row does not tell).
  uint64_t slotCluster = 0;

  bool operator==(const FoundEntry&) const = default;
};

// Told about every deleted entry a walk finds, before the listing filters.
using FoundEntryObserver = std::function<void(const FoundEntry&)>;

// `path` (a walk's folder text: its root, then the folders) below `root`
// (the root text, or the destination folder and a separator): with root
// "card.img:/", "card.img:/docs" becomes "docs".
std::string FolderBelow(std::string_view root, std::string_view path);

// For each entry, whether the opened volume still holds it. An entry a
// cluster scan read is looked for in the cluster its slot was read from
// alone. Any other is looked for where a search would find it, by the
// walks (plain, then thorough) and, for entries listed in kOrphanFolder (or
// below it) and still missing, by the cluster scans (free clusters, then
// every cluster). Each search runs with every
// listing option on, only while entries are missing, and lists, restores
// and claims nothing that outlives the call.
std::vector<bool> EntriesOnVolume(ScanState& state, const std::vector<FoundEntry>& entries);
// The same for `count` entries made one at a time (a restore's rows, read
// again from its list): entry `i` is asked for more than once, and only
// the ones a search meets are asked for after the first pass.
using ListedEntryAt = std::function<FoundEntry(size_t i)>;
std::vector<bool> EntriesOnVolume(ScanState& state, size_t count, const ListedEntryAt& entryAt);

}  // namespace vellum::fat
