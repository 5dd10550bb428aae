#include "content/pdf.h"

#include <string_view>

#include "content/marker_scan.h"
#include "volume/parse_number.h"

namespace vellum::content {

namespace {

// The dictionary is looked for in the first 256 bytes only: it is the first
// object of a linearized file, right after the header line.
constexpr uint64_t kFirstKeyOffset = 16;
constexpr uint64_t kSearchEnd = 256;
constexpr std::string_view kLinearized = "/Linearized";

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

}  // namespace

uint64_t ReadLinearizedLength(ByteView data) {
  uint64_t key = kFirstKeyOffset;
  while (key < kSearchEnd && !BytesEqual(data, key, kLinearized)) ++key;
  if (key >= kSearchEnd) return 0;
  uint64_t length = key + kLinearized.size();
  while (length < kSearchEnd && !BytesEqual(data, length, "/L")) ++length;
  if (length >= kSearchEnd) return 0;
  // Skip the key and the separator after it.
  const uint64_t first = length + 3;
  uint64_t end = first;
  for (;; ++end) {
    if (end >= kSearchEnd || end >= data.size()) return 0;  // the digits run into the limit
    if (!IsDigit(data[end])) break;
  }
  const std::string_view digits(reinterpret_cast<const char*>(data.data()) + first, end - first);
  return volume::ParseUnsigned64(digits);
}

uint64_t MeasurePdf(volume::ScanState& state, uint64_t cluster, ByteView data) {
  const uint64_t linearized = ReadLinearizedLength(data);
  // Past "%%EO", then "F" and normally an end-of-line pair.
  const uint64_t eof = MarkerScan(state, cluster, kPdfEof) + 3;
  return linearized > eof ? linearized : eof;
}

}  // namespace vellum::content
