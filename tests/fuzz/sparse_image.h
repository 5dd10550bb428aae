// Fuzz inputs that stand for a large volume in few bytes. The input is a list
// of pieces, each a 4-byte little-endian byte offset, a 2-byte length and
// that many bytes, laid over zeros in order (a later piece overwrites an
// earlier one). A piece cut off by the end of the input ends the list.
// Offsets past `maxBytes` are dropped, so every input makes a volume of at
// most that size, and a mutated offset simply moves a structure.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vellum::fuzz {

inline std::vector<uint8_t> LaySparseImage(const uint8_t* data, size_t size, size_t maxBytes) {
  std::vector<uint8_t> image;
  for (size_t at = 0; at + 6 <= size;) {
    const uint64_t offset = uint64_t{data[at]} | uint64_t{data[at + 1]} << 8 | uint64_t{data[at + 2]} << 16 |
                            uint64_t{data[at + 3]} << 24;
    const size_t length = std::min<size_t>(data[at + 4] | data[at + 5] << 8, size - at - 6);
    at += 6;
    if (offset < maxBytes) {
      const size_t n = std::min<size_t>(length, maxBytes - offset);
      if (image.size() < offset + n) image.resize(offset + n);
      std::copy_n(data + at, n, image.begin() + static_cast<ptrdiff_t>(offset));
    }
    at += length;
  }
  return image;
}

}  // namespace vellum::fuzz
