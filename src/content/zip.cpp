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

// The fields of a local file header that the walk uses.
struct LocalHeader {
  bool signature = false;
  uint64_t span = 0;  // the header, its name and extra field, and the data
  ByteView nameStart;  // the first bytes of the name, at most 4
};

// Reads the header at the start of `h`; false when `h` is shorter than the
// fixed part and the first name bytes.
bool ReadLocalHeader(ByteView h, LocalHeader& out) {
  FieldReader r(h);
  out.signature = BytesEqual(r.Bytes(0, 4), 0, "PK\x03\x04");
  const uint32_t compressedSize = r.U32(18);
  const uint16_t nameLength = r.U16(26);
  const uint16_t extraLength = r.U16(28);
  out.nameStart = r.Bytes(30, kLocalHeaderNeed - 30);
  out.span = 30 + uint64_t{nameLength} + extraLength + compressedSize;
  return r.Ok();
}

// The bytes are compared as stored: "xl" is enough, no folder separator is
// looked for.
const char* ApplicationOf(ByteView name) {
  if (BytesEqual(name, 0, "xl")) return "xlsx";
  if (BytesEqual(name, 0, "word")) return "docx";
  if (BytesEqual(name, 0, "ppt")) return "pptx";
  return nullptr;
}

// Whether the end record's signature stands at `offset` of the file: in the
// first cluster, or in the clusters a fresh walk follows to it.
bool EndRecordSignatureAt(volume::ScanState& state, uint64_t cluster, ByteView data, uint64_t offset) {
  if (InBounds(data.size(), offset, 4)) return BytesEqual(data, offset, "PK\x05\x06");
  RecordWalk walk(state, cluster, data);
  return walk.MoveToNextRecord(offset, 4) && BytesEqual(walk.Current(), 0, "PK\x05\x06");
}

}  // namespace

std::string ClassifyZip(volume::ScanState& state, uint64_t cluster, ByteView data) {
  RecordWalk walk(state, cluster, data);
  for (int i = 0; i < kMaxLocalHeaders; ++i) {
    LocalHeader header;
    // The walk holds kLocalHeaderNeed bytes after every move; only a first
    // cluster shorter than that leaves the header cut.
    if (!ReadLocalHeader(walk.Current(), header)) {
      if (header.signature) ++state.truncatedStructures;
      break;
    }
    if (!header.signature) break;
    if (const char* app = ApplicationOf(header.nameStart)) return app;
    // A large member before the application folder is taken for a plain
    // archive's content; so is a member whose size is only in a data descriptor.
    if (header.span >= kMaxSkippedMember) break;
    if (!walk.MoveToNextRecord(header.span, kLocalHeaderNeed)) break;
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
  if (InBounds(data.size(), endRecord, kEndRecordBytes))
    record = data.subspan(endRecord, kEndRecordBytes);
  else if (walk.MoveToNextRecord(endRecord, kEndRecordBytes))
    record = walk.Current();
  FieldReader r(record);
  const bool isEndRecord = BytesEqual(r.Bytes(0, 4), 0, "PK\x05\x06");
  const uint16_t commentLength = r.U16(20);
  if (isEndRecord && r.Ok()) {
    size += commentLength;
  } else if (record.empty() && EndRecordSignatureAt(state, cluster, data, endRecord)) {
    // The scan saw the record's signature, but the file's clusters end
    // before the rest of it: no comment length to add.
    ++state.truncatedStructures;
  }
  return size;
}

}  // namespace vellum::content
