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

// The declared length, and whether the number ran into the end of the bytes
// before the search limit (the dictionary was cut short there).
uint64_t LinearizedLength(ByteView data, bool& cutShort) {
  cutShort = false;
  uint64_t key = kFirstKeyOffset;
  while (key < kSearchEnd && !BytesEqual(data, key, kLinearized)) ++key;
  if (key >= kSearchEnd) return 0;
  uint64_t length = key + kLinearized.size();
  while (length < kSearchEnd && !BytesEqual(data, length, "/L")) ++length;
  if (length >= kSearchEnd) return 0;
  // Skip the key and the separator after it.
  const uint64_t first = length + 3;
  FieldReader r(data);
  uint64_t end = first;
  for (;; ++end) {
    if (end >= kSearchEnd) return 0;  // the digits run into the limit
    const uint8_t c = r.U8(end);
    if (!r.Ok()) {
      cutShort = true;
      return 0;
    }
    if (!IsDigit(c)) break;
  }
  const ByteView digits = r.Bytes(first, end - first);
  return volume::ParseUnsigned64(std::string_view(reinterpret_cast<const char*>(digits.data()), digits.size()));
}

}  // namespace

uint64_t ReadLinearizedLength(ByteView data) {
  bool cutShort = false;
  return LinearizedLength(data, cutShort);
}

uint64_t MeasurePdf(volume::ScanState& state, uint64_t cluster, ByteView data) {
  bool cutShort = false;
  const uint64_t linearized = LinearizedLength(data, cutShort);
  if (cutShort) ++state.truncatedStructures;
  // Past "%%EO", then "F" and normally an end-of-line pair.
  const uint64_t eof = MarkerScan(state, cluster, kPdfEof) + 3;
  return linearized > eof ? linearized : eof;
}

}  // namespace vellum::content
