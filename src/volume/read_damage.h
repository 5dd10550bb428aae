// What the device could not give the running command: the byte ranges of
// the volume it failed to read (taken as zeros), the stretches skipped
// unread after a long run of failures, and the folders whose directory
// bytes lay there. Every read of the command adds to it (sector_io), so
// rows, restores and notes can name exactly what the damage hides.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace vellum::volume {

struct ByteRange {
  uint64_t first = 0;
  uint64_t end = 0;  // one past the last byte
  bool operator==(const ByteRange&) const = default;
};

struct ReadDamage {
  // Unreadable bytes of the volume, sorted and merged.
  std::vector<ByteRange> ranges;
  // How many times the reader gave up on a run of failures and skipped
  // ahead unread, and how many bytes it skipped.
  uint64_t skips = 0;
  uint64_t skippedBytes = 0;
  // The run of failed sectors the reader is in, the next skip's length (0
  // until the first skip) and the stretch not to be tried.
  uint64_t failedInRow = 0;
  uint64_t nextSkip = 0;
  uint64_t skipStart = 0;
  uint64_t skipEnd = 0;
  // Folders whose directory bytes were partly unreadable: their path below
  // the volume root and the bytes lost.
  struct Folder {
    std::string path;
    uint64_t bytes = 0;
  };
  std::vector<Folder> folders;
  // The thread of the command: only there may a long retry ask the
  // progress window about Cancel (the NTFS helper thread reads too).
  std::thread::id commandThread = std::this_thread::get_id();
};

// Adds [first, end) to the unreadable ranges, merging neighbours.
void AddUnreadable(ReadDamage& damage, uint64_t first, uint64_t end);
// Takes [first, end) out of the unreadable ranges: it was read after all.
void RemoveUnreadable(ReadDamage& damage, uint64_t first, uint64_t end);
// The unreadable ranges that meet [first, end), clipped to it.
std::vector<ByteRange> UnreadableIn(const std::vector<ByteRange>& sortedRanges, uint64_t first, uint64_t end);
inline std::vector<ByteRange> UnreadableIn(const ReadDamage& damage, uint64_t first, uint64_t end) {
  return UnreadableIn(damage.ranges, first, end);
}
// Bytes in every unreadable range.
uint64_t UnreadableBytes(const ReadDamage& damage);
// Notes a folder once, adding to its lost bytes when it is read again.
void NoteDamagedFolder(ReadDamage& damage, const std::string& path, uint64_t bytes);
// "4 KiB", "512 バイト", "1.5 MiB": a size as the notes give it.
std::string DamageSizeText(uint64_t bytes);
// "65536-131071": a range's first and last byte, as rows and reports name it.
std::string ByteRangesText(const std::vector<ByteRange>& ranges);

}  // namespace vellum::volume
