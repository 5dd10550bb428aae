// Fuzz target: the input is a ddrescue mapfile, the first 8 bytes the size
// of the image it is checked against. The parser must refuse what is wrong
// with a line number and never give ranges that overlap, run backwards or
// leave the image.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "volume/ddrescue_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  uint64_t imageSize = 0;
  for (int i = 0; i < 8; ++i) imageSize |= uint64_t{data[i]} << (8 * i);
  const std::string_view text(reinterpret_cast<const char*>(data + 8), size - 8);
  const vellum::volume::DdrescueMap map = vellum::volume::ParseDdrescueMap(text, imageSize);
  if (!map.ok) {
    if (map.line == 0 || map.error.empty() || !map.unfinished.empty()) std::abort();
    return 0;
  }
  uint64_t end = 0;
  for (const auto& r : map.unfinished) {
    if (r.first >= r.end || r.first < end || r.end > imageSize) std::abort();
    end = r.end;
  }
  return 0;
}
