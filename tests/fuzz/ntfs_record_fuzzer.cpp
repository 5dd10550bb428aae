// Fuzz target: the input is a file record followed by the master file table
// it lives in. The first 1 KiB is the record under test; the rest of the input
// is the volume, with the table mapped over it cluster by cluster, so an
// attribute list in the record leads into records the fuzzer also writes. When
// the second 1 KiB is itself a file record it serves as the table's own record
// (its run list then decides where every record is read from).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "ntfs/attribute.h"
#include "ntfs/attribute_data.h"
#include "ntfs/data_streams.h"
#include "ntfs/file_data.h"
#include "ntfs/file_name.h"
#include "ntfs/find_attribute.h"
#include "ntfs/mft_reader.h"
#include "ntfs/record.h"
#include "ntfs/recycle_bin.h"
#include "platform/block_device.h"
#include "volume/fixups.h"

namespace {

using namespace vellum;

constexpr uint32_t kRecord = 1024;

// A table record whose $DATA maps VCN 0.. to LCN 1..: record n is the
// (n + 1)-th KiB of the input, record 0 the table record slot itself.
std::vector<uint8_t> PlainTable(uint64_t clusters) {
  std::vector<uint8_t> r(kRecord, 0);
  const uint8_t header[] = {'F', 'I', 'L', 'E'};
  std::copy(std::begin(header), std::end(header), r.begin());
  PutLe16(r, 20, 56);
  const size_t a = 56;
  PutLe32(r, a, ntfs::kAttrData);
  PutLe32(r, a + 4, 80);
  r[a + 8] = 1;
  PutLe32(r, a + 24, static_cast<uint32_t>(clusters - 2));
  PutLe16(r, a + 32, 64);
  PutLe32(r, a + 40, static_cast<uint32_t>(clusters * kRecord));
  PutLe32(r, a + 48, static_cast<uint32_t>(clusters * kRecord));
  PutLe32(r, a + 56, static_cast<uint32_t>(clusters * kRecord));
  const uint8_t runs[] = {0x12, static_cast<uint8_t>(clusters - 1), static_cast<uint8_t>((clusters - 1) >> 8), 1, 0};
  std::copy(std::begin(runs), std::end(runs), r.begin() + a + 64);
  PutLe32(r, a + 80, 0xFFFFFFFF);
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8 || size > 64 * kRecord) return 0;
  std::vector<uint8_t> bytes(data, data + size);
  bytes.resize((size + kRecord - 1) / kRecord * kRecord + kRecord);
  const uint64_t clusters = bytes.size() / kRecord;

  volume::ScanState s;
  s.fsKind = volume::kNtfs;
  s.bytesPerSector = 512;
  s.sectorsPerCluster = 2;
  s.clusterBytes = kRecord;
  s.mftRecordSize = kRecord;
  s.lastCluster = clusters - 1;
  std::vector<uint8_t> table(bytes.begin() + kRecord, bytes.begin() + 2 * kRecord);
  s.mftRecord0 = ntfs::HasFileSignature(table) ? table : PlainTable(clusters);
  volume::ApplyFixups(s.mftRecord0);
  std::vector<uint8_t> record(bytes.begin(), bytes.begin() + kRecord);
  s.volumeHandle = std::make_unique<platform::MemoryBlockDevice>(std::move(bytes));
  volume::ApplyFixups(record);

  for (uint32_t type : {ntfs::kAttrStandardInformation, ntfs::kAttrFileName, ntfs::kAttrData, ntfs::kAttrBitmap}) {
    std::vector<uint8_t> copy = record;
    if (const auto ref = ntfs::FindAttribute(s, copy, type, 0, false)) {
      std::vector<uint8_t> value;
      ntfs::ReadAttributeValue(s, copy, *ref, 16 * kRecord, value);
    }
  }
  ntfs::FileNameOf(s, record);
  // Every named $DATA is read by its name, through the list as well.
  for (const ntfs::DataStream& stream : ntfs::NamedDataStreams(s, record)) {
    std::vector<uint8_t> unit(16 * kRecord);
    ntfs::AttributeReader(s, record, ntfs::kAttrData, 0, stream.name).Read(0, 16, unit, true);
  }
  // The record's bytes read as a Recycle Bin index ($I): a path reaching
  // past them is cut, never read beyond them.
  if (const auto index = ntfs::ParseRecycleBinIndex(record))
    if (index->originalPath.size() > 3 * record.size()) __builtin_trap();
  // One walk over the attributes finds what a search for each type finds.
  const ntfs::RecordSummary summary = ntfs::SummariseRecord(record);
  const auto same = [](std::optional<ntfs::AttributeRef> a, std::optional<ntfs::AttributeRef> b) {
    return a.has_value() == b.has_value() && (!a || (a->offset == b->offset && a->length == b->length));
  };
  if (!same(summary.standardInformation, ntfs::FindInRecord(record, ntfs::kAttrStandardInformation, 0)) ||
      !same(summary.fileName, ntfs::FindInRecord(record, ntfs::kAttrFileName, 0)) ||
      !same(summary.data, ntfs::FindInRecord(record, ntfs::kAttrData, 0)))
    __builtin_trap();
  // The table read a chunk at a time gives each record as it is read alone.
  ntfs::MftRecordReader reader(s);
  std::vector<uint8_t> alone(kRecord), chunked(kRecord);
  for (uint32_t n = 0; n < 8; ++n) {
    const bool a = ntfs::ReadMftRecord(s, n, alone);
    if (reader.Read(n, chunked) != a || (a && alone != chunked)) __builtin_trap();
  }
  std::vector<uint8_t> clustersRead(16 * kRecord);
  ntfs::ReadAttributeClusters(s, record, ntfs::kAttrData, 0, 16, clustersRead, true);
  ntfs::ReadAttributeClusters(s, record, ntfs::kAttrData, 16, 16, clustersRead, true);
  std::vector<uint8_t> file;
  for (uint32_t n = 0; n < 4; ++n) ntfs::ReadFileData(s, n, file, 64 * kRecord);
  ntfs::ReadRecordAt(s, 2, 0, record);
  return 0;
}
