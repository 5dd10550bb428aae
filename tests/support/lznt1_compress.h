// A plain LZNT1 compressor for tests: greedy longest match, so the decoder is
// checked on references at every position of a chunk, where the split between
// length and displacement bits moves.
#pragma once

#include <cstdint>
#include <vector>

namespace vellum::testing {

inline void CompressChunk(const uint8_t* in, size_t size, std::vector<uint8_t>& out) {
  std::vector<uint8_t> body;
  size_t pos = 0;
  while (pos < size) {
    const size_t flagAt = body.size();
    body.push_back(0);
    for (int bit = 0; bit < 8 && pos < size; ++bit) {
      unsigned lengthBits = 12;
      for (size_t p = pos - 1; pos > 0 && p >= 16; p >>= 1) --lengthBits;
      const size_t maxDisplacement = size_t{1} << (16 - lengthBits);
      const size_t maxLength = (size_t{1} << lengthBits) - 1 + 3;
      size_t bestLength = 0, bestDisplacement = 0;
      for (size_t d = 1; d <= pos && d <= maxDisplacement; ++d) {
        size_t l = 0;
        while (l < maxLength && pos + l < size && in[pos + l] == in[pos + l - d]) ++l;
        if (l > bestLength) bestLength = l, bestDisplacement = d;
      }
      if (bestLength >= 3) {
        const uint16_t token = static_cast<uint16_t>(((bestDisplacement - 1) << lengthBits) | (bestLength - 3));
        body[flagAt] |= static_cast<uint8_t>(1 << bit);
        body.push_back(static_cast<uint8_t>(token));
        body.push_back(static_cast<uint8_t>(token >> 8));
        pos += bestLength;
      } else {
        body.push_back(in[pos++]);
      }
    }
  }
  if (body.size() >= size) {  // no gain: a stored chunk
    out.push_back(static_cast<uint8_t>(size - 1));
    out.push_back(static_cast<uint8_t>(0x30 | ((size - 1) >> 8)));
    out.insert(out.end(), in, in + size);
    return;
  }
  const uint16_t header = static_cast<uint16_t>(0xB000 | (body.size() - 1));
  out.push_back(static_cast<uint8_t>(header));
  out.push_back(static_cast<uint8_t>(header >> 8));
  out.insert(out.end(), body.begin(), body.end());
}

inline std::vector<uint8_t> CompressLznt1(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out;
  for (size_t at = 0; at < data.size(); at += 4096)
    CompressChunk(data.data() + at, std::min<size_t>(4096, data.size() - at), out);
  return out;
}

}  // namespace vellum::testing
