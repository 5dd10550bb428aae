// CRC-32 (the polynomial of zlib, PNG and ZIP) from the system's maintained
// implementation: zlib on Linux, the one ntdll exports on Windows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vellum::platform {

// Continues `crc` (0 to start) over `size` bytes.
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size);

}  // namespace vellum::platform
