#include "ntfs/lznt1.h"

#include <algorithm>

namespace vellum::ntfs {

namespace {

constexpr uint16_t kChunkCompressed = 0x8000;
constexpr uint16_t kChunkSizeMask = 0x0FFF;

// Bits of a back-reference token that hold the length: 12 while the piece
// holds at most 16 bytes, one fewer each time the position doubles past that,
// so the displacement can reach every byte decoded so far.
unsigned LengthBits(size_t position) {
  unsigned bits = 12;
  for (size_t p = position - 1; p >= 16; p >>= 1) --bits;
  return bits;
}

// Decodes one compressed chunk; returns the bytes written into `out`, and
// false in `clean` when the chunk broke off at damage.
size_t DecodeChunk(ByteView in, MutableBytes out, bool& clean) {
  size_t i = 0, pos = 0;
  clean = true;
  while (i < in.size() && pos < out.size()) {
    const uint8_t flags = in[i++];
    for (int bit = 0; bit < 8 && i < in.size() && pos < out.size(); ++bit) {
      if (((flags >> bit) & 1) == 0) {
        out[pos++] = in[i++];
        continue;
      }
      if (i + 1 >= in.size() || pos == 0) return clean = false, pos;
      const uint16_t token = static_cast<uint16_t>(in[i] | (in[i + 1] << 8));
      i += 2;
      const unsigned lengthBits = LengthBits(pos);
      const size_t displacement = (token >> lengthBits) + 1u;
      const size_t length = (token & ((1u << lengthBits) - 1)) + 3u;
      if (displacement > pos) return clean = false, pos;
      // Byte by byte: a reference may overlap the bytes it produces.
      for (size_t k = 0; k < length && pos < out.size(); ++k, ++pos) out[pos] = out[pos - displacement];
    }
  }
  return pos;
}

}  // namespace

size_t DecompressLznt1(ByteView input, MutableBytes output) {
  std::fill(output.begin(), output.end(), 0);
  size_t in = 0, produced = 0;
  for (size_t piece = 0; piece < output.size() && InBounds(input.size(), in, 2);
       piece += kLznt1ChunkBytes) {
    const uint16_t header = Le16(input, in);
    if (header == 0) break;
    const size_t stored = (header & kChunkSizeMask) + 1u;
    const size_t start = in + 2;
    const size_t available = std::min(stored, input.size() - start);
    const ByteView data = input.subspan(start, available);
    const MutableBytes out = output.subspan(piece, std::min(kLznt1ChunkBytes, output.size() - piece));
    bool clean = true;
    size_t n = 0;
    if (header & kChunkCompressed) {
      n = DecodeChunk(data, out, clean);
    } else {
      n = std::min(data.size(), out.size());
      std::copy_n(data.begin(), n, out.begin());
    }
    if (n > 0) produced = piece + n;
    if (!clean || available < stored) break;
    in = start + stored;
  }
  return produced;
}

}  // namespace vellum::ntfs
