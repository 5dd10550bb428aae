// What opening an image container gives: a read-only device, or a message
// that names the file, its format and what is wrong with it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/block_device.h"

namespace vellum::platform {

struct ImageOpen {
  std::unique_ptr<BlockDevice> device;  // null on failure
  std::string error;                    // empty on success
};

inline ImageOpen ImageFailure(std::string error) {
  ImageOpen r;
  r.error = std::move(error);
  return r;
}

// Reads `out.size()` bytes at `offset` of a device of `size` bytes through
// `read(offset, data, length)`, which returns the bytes it read or -1. What
// lies past the end or was not read is zero; true only when all was read.
template <typename ReadFn>
bool ReadWithin(uint64_t size, uint64_t offset, std::span<uint8_t> out, ReadFn read) {
  const uint64_t available = offset < size ? std::min<uint64_t>(out.size(), size - offset) : 0;
  uint64_t done = 0;
  while (done < available) {
    const auto n = read(offset + done, out.data() + done, static_cast<size_t>(available - done));
    if (n <= 0) break;
    done += static_cast<uint64_t>(n);
  }
  std::fill(out.begin() + static_cast<ptrdiff_t>(done), out.end(), uint8_t{0});
  return done == out.size();
}

}  // namespace vellum::platform
