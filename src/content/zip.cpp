#include "content/zip.h"

#include "content/content_row.h"
#include "content/file_window.h"
#include "content/marker_scan.h"

namespace vellum::content {

namespace {

constexpr size_t kLocalHeaderNeed = 34;  // the fixed 30 bytes and 4 name bytes
constexpr size_t kEndRecordBytes = 22;
constexpr int kMaxLocalHeaders = 100;
constexpr uint64_t kMaxSkippedMember = 4'096;

bool IsLocalHeader(ByteView h) { return BytesEqual(h, 0, "PK\x03\x04"); }

// The bytes are compared as stored: "xl" is enough, no folder separator is
// looked for.
const char* ApplicationOf(ByteView h) {
  if (BytesEqual(h, 30, "xl")) return "xlsx";
  if (BytesEqual(h, 30, "word")) return "docx";
  if (BytesEqual(h, 30, "ppt")) return "pptx";
  return nullptr;
}

uint64_t LocalRecordSpan(ByteView h) {
  return 30 + uint64_t{Le16(h, 26)} + Le16(h, 28) + Le32(h, 18);
}

}  // namespace

std::string ClassifyZip(volume::ScanState& state, uint64_t cluster, ByteView data) {
  if (data.size() < kLocalHeaderNeed) return "zip";
  RecordWalk walk(state, cluster, data);
  for (int i = 0; i < kMaxLocalHeaders; ++i) {
    const ByteView header = walk.Current();
    if (!IsLocalHeader(header)) break;
    if (const char* app = ApplicationOf(header)) return app;
    // A large member before the application folder is taken for a plain
    // archive's content; so is a member whose size is only in a data descriptor.
    const uint64_t span = LocalRecordSpan(header);
    if (span >= kMaxSkippedMember) break;
    if (!walk.MoveToNextRecord(span, kLocalHeaderNeed)) break;
  }
  return "zip";
}

uint64_t MeasureZip(volume::ScanState& state, uint64_t cluster, ByteView data) {
  const uint64_t past = MarkerScan(state, cluster, kZipEndRecord);
  // A scan cancelled before its first read found nothing to measure.
  if (past < 4) return kDefaultSize;
  const uint64_t endRecord = past - 4;
  uint64_t size = endRecord + kEndRecordBytes;
  // The walk owns the buffer the record may be read into, so it lives as long as the record.
  RecordWalk walk(state, cluster, data);
  ByteView record;
  if (endRecord + kEndRecordBytes <= data.size())
    record = data.subspan(endRecord, kEndRecordBytes);
  else if (walk.MoveToNextRecord(endRecord, kEndRecordBytes))
    record = walk.Current();
  if (BytesEqual(record, 0, "PK\x05\x06")) size += Le16(record, 20);
  return size;
}

}  // namespace vellum::content
