#include "app/recycle_bin_rows.h"

#include <map>
#include <utility>

#include "app/row_item.h"
#include "ntfs/ntfs_restore.h"
#include "ntfs/ntfs_search.h"
#include "ntfs/recycle_bin.h"
#include "volume/listing.h"
#include "volume/sector_io.h"

namespace vellum::app {

namespace {

// An index is 544 bytes (version 1) or 30 bytes and the path (version 2,
// at most 32768 characters): anything longer is not read further.
constexpr size_t kMaxIndexBytes = 28 + 2 * 32768;

std::optional<std::vector<uint8_t>> RecordIndexBytes(volume::ScanState& state, const ntfs::FoundRecord& record) {
  const auto loaded = ntfs::LoadRecord(state, record.source);
  if (!loaded) return std::nullopt;
  std::vector<uint8_t> bytes;
  ntfs::CopyRecordData(state, *loaded, [&bytes](ByteView piece, bool) {
    bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<ptrdiff_t>(std::min(piece.size(), kMaxIndexBytes - bytes.size())));
    return bytes.size() < kMaxIndexBytes;
  });
  return bytes;
}

// A deleted FAT or exFAT index lies where a restore finds it: from its
// first cluster on, cluster after cluster.
std::optional<std::vector<uint8_t>> EntryIndexBytes(volume::ScanState& state, const fat::FoundEntry& entry) {
  if (entry.isFolder || entry.firstCluster < 2 || state.clusterBytes == 0) return std::nullopt;
  const uint64_t want = std::min<uint64_t>(entry.size, kMaxIndexBytes);
  std::vector<uint8_t> bytes, cluster(state.clusterBytes);
  for (uint64_t c = entry.firstCluster; bytes.size() < want; ++c) {
    if (c > state.lastCluster || !volume::ReadCluster(state, c, cluster)) return std::nullopt;
    bytes.insert(bytes.end(), cluster.begin(),
                 cluster.begin() + static_cast<ptrdiff_t>(std::min<uint64_t>(cluster.size(), want - bytes.size())));
  }
  return bytes;
}

std::optional<std::vector<uint8_t>> IndexBytes(volume::ScanState& state, const RowItem& item) {
  if (const auto* record = std::get_if<ntfs::FoundRecord>(&item)) return RecordIndexBytes(state, *record);
  if (const auto* entry = std::get_if<fat::FoundEntry>(&item)) return EntryIndexBytes(state, *entry);
  return std::nullopt;
}

// A row of the bin's own folder, a file not a stream, named $I or $R: its
// folder and suffix, which the two rows of one deleted file share.
std::optional<std::pair<std::string, std::string>> BinKey(const ResultList& rows, size_t row, ntfs::BinNameKind want) {
  if ((rows.DataWord(row) & volume::kRowStream) != 0) return std::nullopt;
  const std::string folder = RowFolderBelowRoot(rows, row);
  std::string_view suffix;
  if (ntfs::BinNameKindOf(rows.Cell(row, 0), &suffix) != want || !ntfs::IsRecycleBinFolder(folder))
    return std::nullopt;
  return std::make_pair(folder, std::string(suffix));
}

}  // namespace

std::vector<std::optional<BinNote>> RecycleBinNotes(volume::ScanState& state, const ResultList& rows) {
  std::vector<std::optional<BinNote>> notes(rows.RowCount());
  const ListKind kind = KindOfList(rows);
  const bool ntfs = state.fsKind == volume::kNtfs && kind == ListKind::kNtfs;
  const bool fat = state.fsKind != volume::kNtfs && state.clusterBytes != 0 && kind == ListKind::kFatFamily;
  if (!ntfs && !fat) return notes;
  std::map<std::pair<std::string, std::string>, BinNote> byKey;
  for (size_t row = 0; row < rows.RowCount(); ++row) {
    const auto key = BinKey(rows, row, ntfs::BinNameKind::kIndex);
    if (!key || (rows.DataWord(row) & volume::kRowFolder) != 0) continue;
    const auto bytes = IndexBytes(state, ReadRowItem(rows, row, kind));
    const auto index = bytes ? ntfs::ParseRecycleBinIndex(*bytes) : std::nullopt;
    if (!index) continue;
    BinNote note{index->originalPath, ntfs::FormatFileTime(index->deletedTime), index->size, index->version,
                 index->damaged, true};
    notes[row] = note;
    note.index = false;
    byKey.emplace(*key, std::move(note));
  }
  if (byKey.empty()) return notes;
  for (size_t row = 0; row < rows.RowCount(); ++row) {
    const auto key = BinKey(rows, row, ntfs::BinNameKind::kData);
    if (!key) continue;
    if (const auto found = byKey.find(*key); found != byKey.end()) notes[row] = found->second;
  }
  return notes;
}

std::string BinNoteText(const BinNote& note) {
  return "元の場所 " + note.originalPath + (note.damaged ? " (途中まで)" : "") + " (削除 " + note.deletedTime + ")";
}

}  // namespace vellum::app
