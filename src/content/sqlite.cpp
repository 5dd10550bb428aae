// SQLite databases: the 100-byte header at the start of the first page
// holds the page size and, since version 3.7.0, the database's size in
// pages, valid while its "version valid for" number equals the change counter.
#include "content/content_row.h"
#include "content/file_stream.h"
#include "content/format_measures.h"

namespace vellum::content {

namespace {

constexpr size_t kHeaderBytes = 100;

// The page size field: a power of two from 512 to 32768, or 1 for 65536.
uint32_t PageBytes(ByteView b) {
  const uint32_t field = static_cast<uint32_t>(Be(b, 16, 2));
  if (field == 1) return 65'536;
  if (field < 512 || (field & (field - 1)) != 0) return 0;
  return field;
}

}  // namespace

bool SqliteSignature(ByteView first) {
  // The payload fractions are fixed by the format: 64, 32 and 32.
  return first.size() >= kHeaderBytes && BytesEqual(first, 0, std::string_view("SQLite format 3\0", 16)) &&
         PageBytes(first) != 0 && first[21] == 64 && first[22] == 32 && first[23] == 32;
}

Measured MeasureSqlite(volume::ScanState& state, uint64_t /*cluster*/, ByteView data) {
  if (!SqliteSignature(data)) return {};
  const uint64_t pages = Be(data, 28, 4);
  const bool sizeValid = pages != 0 && Be(data, 24, 4) == Be(data, 92, 4);
  uint64_t size = 0;
  // Written by a version that does not keep the size, or left stale by one:
  // the size is not known.
  if (!sizeValid || !CheckedMul(pages, PageBytes(data), size) || size > state.dataAreaBytes)
    return {kDefaultSize, {}};
  return {size, {}};
}

}  // namespace vellum::content
