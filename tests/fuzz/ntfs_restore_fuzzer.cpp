// Fuzz target for the NTFS restore over a volume of up to 16 MiB given as a
// sparse image (sparse_image.h): every free record the search lists is
// restored, its data read through runs, attribute lists, extension records
// and compression units the input makes up, and handed to a sink that keeps
// nothing (the reading is what is fuzzed; the destination side has tests of
// its own).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/sparse_image.h"
#include "ntfs/find_attribute.h"
#include "ntfs/record.h"
#include "ntfs/ntfs_restore.h"
#include "ntfs/ntfs_search.h"
#include "platform/block_device.h"
#include "volume/boot_sector.h"
#include "app/volume_tables.h"

namespace {

constexpr size_t kVolumeBytes = 16u << 20;
constexpr size_t kMaxFiles = 32;
// Keeps the record numbers of the file rows.
class RecordRows : public vellum::RowSink {
 public:
  void InsertRow(size_t, std::string_view, int) override {}
  void SetCell(size_t, size_t column, std::string_view text) override {
    if (column == 5 && records.size() < kMaxFiles) records.push_back(static_cast<uint32_t>(std::stoul(std::string(text))));
  }
  void SetDataWord(size_t, uint32_t word) override {
    if ((word & 1) != 0 && !records.empty()) records.pop_back();  // a folder
  }
  void ShowFoundCount(uint32_t) override {}
  std::vector<uint32_t> records;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vellum;
  volume::ScanState s;
  s.volumeHandle = std::make_unique<platform::MemoryBlockDevice>(fuzz::LaySparseImage(data, size, kVolumeBytes),
                                                                 false, 512, kVolumeBytes);
  if (!volume::DetectFsKind(s) || s.fsKind != volume::kNtfs || !app::LoadVolumeTables(s).empty()) return 0;
  RecordRows rows;
  s.rows = &rows;
  s.rootPath = "fuzz:/";
  s.options.zeroSize = true;
  ntfs::SearchNtfs(s, 0, "");
  s.rows = nullptr;
  s.operationMode = volume::kModeRestore;
  std::vector<uint8_t> bytes(s.mftRecordSize);
  for (uint32_t record : rows.records) {
    if (bytes.empty() || !ntfs::ReadMftRecord(s, record, bytes)) continue;
    ntfs::CopyRecordData(s, bytes, [](ByteView, bool) { return true; });
  }
  return 0;
}
