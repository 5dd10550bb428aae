#include "platform/sha256.h"

namespace vellum::platform {

std::string HexDigest(const uint8_t* bytes, size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    hex += digits[bytes[i] >> 4];
    hex += digits[bytes[i] & 15];
  }
  return hex;
}

}  // namespace vellum::platform
