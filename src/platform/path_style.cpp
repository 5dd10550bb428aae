#include "platform/file_system.h"

namespace vellum::platform {

size_t LengthIn(PathStyle style, std::string_view utf8) {
  if (style == PathStyle::kPosix) return utf8.size();
  // One UTF-16 unit per character, two for one beyond the basic plane (a
  // four-byte UTF-8 sequence); continuation bytes count nothing.
  size_t units = 0;
  for (const char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    if ((b & 0xC0) != 0x80) units += b >= 0xF0 ? 2 : 1;
  }
  return units;
}

}  // namespace vellum::platform
