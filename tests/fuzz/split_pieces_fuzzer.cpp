// Fuzz target: the arithmetic that turns an offset on a split raw image into
// a piece and an offset in it. The input gives the pieces' sizes (small, huge
// or empty, so sums near the 64-bit limit come up) and then ranges to look up;
// every answer must cover exactly the bytes asked for that exist, in order,
// inside the pieces. The tail also drives the piece-name counting.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/images/split_pieces.h"

namespace {

using vellum::platform::PieceMap;

uint64_t Take(const uint8_t*& data, size_t& size, size_t bytes) {
  uint64_t v = 0;
  for (size_t i = 0; i < bytes && size > 0; ++i, ++data, --size) v = (v << 8) | *data;
  return v;
}

// A size from one flag byte and eight value bytes: mostly small, some huge.
uint64_t PieceSize(const uint8_t*& data, size_t& size) {
  const uint64_t kind = Take(data, size, 1), value = Take(data, size, 8);
  switch (kind % 4) {
    case 0: return 0;
    case 1: return value % 4096;
    case 2: return value;
    default: return UINT64_MAX / 2 - value % 4096;
  }
}

void CheckLocate(const PieceMap& map, const std::vector<uint64_t>& sizes, uint64_t offset, uint64_t length) {
  const auto spans = map.Locate(offset, length);
  const uint64_t expected = offset >= map.Size() ? 0 : std::min(length, map.Size() - offset);
  uint64_t at = offset, covered = 0;
  size_t lastPiece = 0;
  for (size_t i = 0; i < spans.size(); ++i) {
    const auto& s = spans[i];
    if (s.piece >= sizes.size() || s.length == 0) __builtin_trap();
    if (i > 0 && s.piece <= lastPiece) __builtin_trap();  // pieces in order, each once
    if (s.offsetInPiece > sizes[s.piece] || s.length > sizes[s.piece] - s.offsetInPiece) __builtin_trap();
    uint64_t pieceStart = 0;
    for (size_t p = 0; p < s.piece; ++p) pieceStart += sizes[p];
    if (pieceStart + s.offsetInPiece != at) __builtin_trap();  // no gap, no overlap
    at += s.length;
    covered += s.length;
    lastPiece = s.piece;
  }
  if (covered != expected) __builtin_trap();
}

void CheckNames(const uint8_t* data, size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), std::min<size_t>(size, 64));
  auto next = vellum::platform::NextPieceName(name);
  for (int i = 0; next && i < 3; ++i) {
    if (next->size() != name.size() || *next == name) __builtin_trap();
    // Counting up from a later piece never comes back to a first one.
    if (i == 0 && vellum::platform::IsFirstPieceName(*next) && !vellum::platform::IsFirstPieceName(name))
      __builtin_trap();
    next = vellum::platform::NextPieceName(*next);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t* const start = data;
  const size_t total = size;
  const size_t pieces = static_cast<size_t>(Take(data, size, 1) % 17);
  std::vector<uint64_t> sizes;
  for (size_t i = 0; i < pieces; ++i) sizes.push_back(PieceSize(data, size));
  PieceMap map;
  if (map.Assign(sizes)) {
    if (map.Pieces() != sizes.size()) __builtin_trap();
    for (int q = 0; q < 16 && size >= 2; ++q) {
      const uint64_t offset = Take(data, size, 8), length = Take(data, size, 8);
      CheckLocate(map, sizes, offset, length);
      CheckLocate(map, sizes, offset % (map.Size() + 1), length % 70000);
    }
  } else {
    uint64_t sum = 0;
    bool overflow = false;
    for (uint64_t s : sizes) {
      if (s > static_cast<uint64_t>(INT64_MAX) - sum) overflow = true;
      else sum += s;
    }
    if (!overflow || map.Size() != 0) __builtin_trap();  // refused only when the sum does not fit
  }
  CheckNames(start, total);
  return 0;
}
