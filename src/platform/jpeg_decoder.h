// Decoding a JPEG with the system's maintained decoder (libjpeg-turbo on
// Linux) to learn whether its data are whole: the first byte at which the
// decoder found something wrong, or none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace vellum::platform {

struct JpegDecodeResult {
  bool available = false;  // false where no decoder is built in
  bool whole = false;      // decoded to its end-of-image marker without a complaint
  uint64_t damagedFrom = 0;  // the decoder's position at its first complaint
};

// `next` hands the file on piece by piece, an empty piece at its end. Only
// the first image is decoded (an embedded thumbnail is skipped with its
// segment); the decoder works at an eighth of the size, which reads every
// bit of the entropy-coded data but spares the pixel work.
JpegDecodeResult DecodeJpeg(const std::function<std::span<const uint8_t>()>& next);

}  // namespace vellum::platform
