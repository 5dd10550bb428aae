#include <zlib.h>

#include <algorithm>

#include "platform/crc32.h"

namespace vellum::platform {

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
  uLong value = crc;
  // zlib counts in uInt; a long piece goes in parts.
  while (size > 0) {
    const auto n = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
    value = crc32(value, data, n);
    data += n;
    size -= n;
  }
  return static_cast<uint32_t>(value);
}

}  // namespace vellum::platform
