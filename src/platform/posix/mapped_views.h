// Views of a read-only image file in place, through a memory mapping of the
// file: a scan reads the bytes where the system keeps them instead of having
// each megabyte copied into a buffer first. Only ranges whose pages the system
// could bring in without an error are handed out; anything else is left to
// the ordinary reads, which report failures as they always do.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vellum::platform {

// Asks the system to start fetching [offset, offset + length) of `fd` unless
// its first byte is in memory already. Changes nothing any read returns.
void AdviseWillNeed(int fd, uint64_t offset, uint64_t length);

// Whether image files opened from now on are read in place: when the first
// chunks' timing says it is cheaper than copying (the default), always, or
// never. The bytes any read or view returns are the same every way.
enum class InPlaceReading { kTimed, kAlways, kNever };
void SetInPlaceReading(InPlaceReading choice);

class MappedViews {
 public:
  // The file is read as it was `size` bytes long when opened.
  MappedViews(int fd, uint64_t size);
  ~MappedViews();
  MappedViews(const MappedViews&) = delete;
  MappedViews& operator=(const MappedViews&) = delete;

  // [offset, offset + size) in place, or empty (read it instead). Each holder
  // (0 to 2) has one view at a time, valid until its next call. A page that
  // cannot be read after its view was handed out reads as zeros, and no view
  // is handed out after that. Holders 0 and 1 (a scan and its analyser) keep
  // the system fetching ahead of them; holder 2 (a table read in order) is
  // left to the system's own read-ahead, which served it better.
  std::span<const uint8_t> View(uint64_t offset, size_t size, int holder);

  // Pages are brought in and checked a chunk at a time; mappings cover a window
  // of chunks.
  static constexpr uint64_t kChunkBytes = uint64_t{1} << 20;
  static constexpr uint64_t kWindowBytes = uint64_t{32} << 20;

 private:
  struct Window {
    uint8_t* base = nullptr;
    uint64_t start = 0;
    size_t length = 0;
    // Chunks [readyFrom, readyTo) are mapped and their pages present.
    uint64_t readyFrom = 0, readyTo = 0;
    // The chunk that could not be brought in; not asked for again.
    uint64_t refused = UINT64_MAX;
  };
  bool Cover(Window& w, uint64_t offset, size_t size);
  bool Ready(Window& w, uint64_t chunk, bool hint);
  bool Resident(const uint8_t* at, size_t length);
  void Unmap(Window& w);
  void Hint(uint64_t chunk);
  bool CheaperInPlace(const uint8_t* at, size_t length, uint64_t offset);

  int fd_;
  uint64_t size_;
  bool usable_ = true;
  // Set from the bus-error handler when a page of a window could not be read.
  std::atomic<bool> faulted_{false};
  uint64_t hintedEnd_ = 0;  // chunks below this one were hinted to the system
  std::array<Window, 3> windows_;
  std::vector<unsigned char> pages_;  // mincore's answer, one byte a page
  // The timing of the first chunks made ready: the shortest touch of their
  // pages in place and the shortest copy of the same bytes, in nanoseconds.
  InPlaceReading choice_;
  int trials_ = 0;
  int64_t touchBest_ = INT64_MAX, copyBest_ = INT64_MAX;
  std::vector<uint8_t> scratch_;  // the copy's destination
};

}  // namespace vellum::platform
