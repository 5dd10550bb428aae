#include "fat/wipe.h"

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

#include "fat/cluster_runs.h"
#include "fat/fat_entry.h"
#include "volume/exfat_layout.h"
#include "volume/sector_io.h"

namespace vellum::fat {

namespace {

constexpr uint8_t kFolderOrLabel = fat_layout::kAttrDirectory | fat_layout::kAttrVolumeLabel;

// What a deleted entry's restore would read, noted before the entry is gone.
void RememberFatEntry(volume::ScanState& state, ByteView e) {
  const uint8_t attributes = Le(e, fat_layout::kAttributes);
  if (attributes == kAttrLongName || (attributes & kFolderOrLabel)) return;
  state.wipe.data.push_back({FatEntryFirstCluster(e), EntrySize(e), false, 0});
}

// The Stream Extension holds the run; the larger of its two lengths covers
// the clusters allocated past the valid data as well.
void RememberExfatEntry(volume::ScanState& state, ByteView e) {
  using namespace exfat_layout;
  if (Le(e, kEntryType) != kStreamDeleted) return;
  const uint64_t size = std::max(Le(e, kValidDataLength), Le(e, kDataLength));
  state.wipe.data.push_back({Le(e, kFirstCluster), size, true, Le(e, kGeneralFlags)});
}

// Random bytes first, then zeros, each written through to the disk.
size_t Wipe(volume::ScanState& state, uint64_t sector, MutableBytes directory,
            const std::function<bool(uint8_t)>& isDeleted,
            const std::function<void(volume::ScanState&, ByteView)>& remember) {
  std::vector<size_t> entries;
  for (size_t at = 0; at + kEntryBytes <= directory.size(); at += kEntryBytes)
    if (isDeleted(directory[at])) entries.push_back(at);
  if (entries.empty()) return 0;
  for (size_t at : entries) remember(state, ByteView(directory).subspan(at, kEntryBytes));
  const uint64_t sectors = directory.size() / state.bytesPerSector;
  // Seeded once: a system entropy read per directory cluster costs more than the wipe.
  static thread_local std::mt19937 random{std::random_device{}()};
  for (size_t at : entries)
    for (size_t i = 1; i < kEntryBytes; ++i) directory[at + i] = static_cast<uint8_t>(random());
  bool written = WriteWipeSectors(state, sector, sectors, directory);
  for (size_t at : entries)
    for (size_t i = 1; i < kEntryBytes; ++i) directory[at + i] = 0;
  written = WriteWipeSectors(state, sector, sectors, directory) && written;
  if (written) state.wipe.entries += entries.size();
  return written ? entries.size() : 0;
}

}  // namespace

// Every write is checked: a deletion that did not reach the disk must not
// be reported as done.
bool WriteWipeSectors(volume::ScanState& state, uint64_t sector, uint64_t sectors, ByteView bytes) {
  if (volume::WriteSectors(state, sector, sectors, bytes)) return true;
  if (state.wipe.failedWrites++ == 0) {
    state.wipe.firstFailedSector = sector;
    state.wipe.error = state.volumeHandle ? state.volumeHandle->LastError() : std::string();
  }
  return false;
}

size_t WipeDeletedFatEntries(volume::ScanState& state, uint64_t sector, MutableBytes directory) {
  return Wipe(state, sector, directory, [](uint8_t first) { return first == 0xE5; }, RememberFatEntry);
}

size_t WipeDeletedExfatEntries(volume::ScanState& state, uint64_t sector, MutableBytes directory) {
  return Wipe(state, sector, directory, [](uint8_t type) { return (type & 0x80) == 0; }, RememberExfatEntry);
}

}  // namespace vellum::fat
