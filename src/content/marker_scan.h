// Measuring a file that has no length field but ends with a fixed pattern
// (an end-of-image marker, a trailer, an empty end chunk, an end code, %%EOF,
// a ZIP end record): read it cluster by cluster until the pattern turns up.
#pragma once

#include <array>
#include <cstdint>

#include "volume/scan_state.h"

namespace vellum::content {

enum class MarkerVariant : uint8_t {
  kTwoByte,    // the 2 bytes of a
  kFourByte,   // the 4 bytes of a
  kEightByte,  // a, then b
  kEndCode,    // a, then anything but b (an MPEG end code not followed by a new start)
};

struct MarkerPattern {
  MarkerVariant variant;
  std::array<uint8_t, 4> a;
  std::array<uint8_t, 4> b;
};

inline constexpr MarkerPattern kJpegEnd{MarkerVariant::kTwoByte, {0xFF, 0xD9}, {}};
inline constexpr MarkerPattern kGifTrailer{MarkerVariant::kTwoByte, {0x00, 0x3B}, {}};
inline constexpr MarkerPattern kPngEnd{MarkerVariant::kEightByte, {0, 0, 0, 0}, {'I', 'E', 'N', 'D'}};
inline constexpr MarkerPattern kMngEnd{MarkerVariant::kEightByte, {0, 0, 0, 0}, {'M', 'E', 'N', 'D'}};
inline constexpr MarkerPattern kMpegProgramEnd{MarkerVariant::kEndCode, {0, 0, 1, 0xB9}, {0, 0, 1, 0xBA}};
inline constexpr MarkerPattern kMpegVideoEnd{MarkerVariant::kEndCode, {0, 0, 1, 0xB7}, {0, 0, 1, 0xB3}};
inline constexpr MarkerPattern kZipEndRecord{MarkerVariant::kFourByte, {'P', 'K', 5, 6}, {}};
inline constexpr MarkerPattern kPdfEof{MarkerVariant::kFourByte, {'%', '%', 'E', 'O'}, {}};

// Scanning stops without a match once the size reaches this.
uint64_t MarkerScanLimit(MarkerVariant variant);

// The file offset just past the first match in the file that starts at
// `cluster`, or, without a match, the offset of the window that would have been
// searched next. Shows "サイズ解析中 (N バイト)" on the progress line and polls
// Cancel once per cluster; a Cancel sets state.cancelled and returns the size
// reached (0 before the first read).
uint64_t MarkerScan(volume::ScanState& state, uint64_t cluster, const MarkerPattern& pattern);

}  // namespace vellum::content
