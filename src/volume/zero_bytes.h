// Whether a buffer holds only zeros, at memory speed: eight words of a
// 64-byte line are OR-ed together (the compiler turns this into vector
// loads), and the first line with a set bit ends the test. A cluster of old
// file data fails on its first line; a cluster of zeros, which most free
// space of a card or disk is, is read once from end to end with no per-slot
// work.
#pragma once

#include <cstdint>
#include <cstring>

#include "volume/le.h"

namespace vellum {

inline bool AllZero(ByteView bytes) {
  const uint8_t* p = bytes.data();
  size_t n = bytes.size();
  constexpr size_t kLine = 64;
  for (; n >= kLine; p += kLine, n -= kLine) {
    uint64_t w[kLine / 8];
    std::memcpy(w, p, kLine);
    if ((w[0] | w[1] | w[2] | w[3] | w[4] | w[5] | w[6] | w[7]) != 0) return false;
  }
  uint8_t rest = 0;
  for (; n > 0; --n) rest |= *p++;
  return rest == 0;
}

}  // namespace vellum
