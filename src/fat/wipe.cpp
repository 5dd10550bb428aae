#include "fat/wipe.h"

#include <functional>
#include <random>
#include <vector>

#include "volume/sector_io.h"

namespace vellum::fat {

namespace {

constexpr size_t kEntryBytes = 32;

// Every write is checked: a deletion that did not reach the disk must not
// be reported as done.
bool WriteChecked(volume::ScanState& state, uint64_t sector, uint64_t sectors, ByteView bytes) {
  if (volume::WriteSectors(state, sector, sectors, bytes)) return true;
  if (state.wipe.failedWrites++ == 0) {
    state.wipe.firstFailedSector = sector;
    state.wipe.error = state.volumeHandle ? state.volumeHandle->LastError() : std::string();
  }
  return false;
}

// Random bytes first, then zeros, each written through to the disk.
size_t Wipe(volume::ScanState& state, uint64_t sector, MutableBytes directory,
            const std::function<bool(uint8_t)>& isDeleted) {
  std::vector<size_t> entries;
  for (size_t at = 0; at + kEntryBytes <= directory.size(); at += kEntryBytes)
    if (isDeleted(directory[at])) entries.push_back(at);
  if (entries.empty()) return 0;
  const uint64_t sectors = directory.size() / state.bytesPerSector;
  // Seeded once: a system entropy read per directory cluster costs more than the wipe.
  static thread_local std::mt19937 random{std::random_device{}()};
  for (size_t at : entries)
    for (size_t i = 1; i < kEntryBytes; ++i) directory[at + i] = static_cast<uint8_t>(random());
  bool written = WriteChecked(state, sector, sectors, directory);
  for (size_t at : entries)
    for (size_t i = 1; i < kEntryBytes; ++i) directory[at + i] = 0;
  written = WriteChecked(state, sector, sectors, directory) && written;
  if (written) state.wipe.entries += entries.size();
  return written ? entries.size() : 0;
}

}  // namespace

size_t WipeDeletedFatEntries(volume::ScanState& state, uint64_t sector, MutableBytes directory) {
  return Wipe(state, sector, directory, [](uint8_t first) { return first == 0xE5; });
}

size_t WipeDeletedExfatEntries(volume::ScanState& state, uint64_t sector, MutableBytes directory) {
  return Wipe(state, sector, directory, [](uint8_t type) { return (type & 0x80) == 0; });
}

}  // namespace vellum::fat
