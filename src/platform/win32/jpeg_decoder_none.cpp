#include "platform/jpeg_decoder.h"

namespace vellum::platform {

// The Windows build carries no JPEG decoder: its photos are "not checked".
JpegDecodeResult DecodeJpeg(const std::function<std::span<const uint8_t>()>&) { return {}; }

}  // namespace vellum::platform
