#include "app/recycle_bin_rows.h"

#include <map>
#include <set>
#include <span>
#include <utility>

#include "app/row_item.h"
#include "ntfs/attribute.h"
#include "ntfs/file_name.h"
#include "ntfs/mft_reader.h"
#include "ntfs/ntfs_restore.h"
#include "ntfs/ntfs_search.h"
#include "ntfs/recycle_bin.h"
#include "platform/codepage.h"
#include "volume/listing.h"
#include "volume/sector_io.h"

namespace vellum::app {

namespace {

// An index is 544 bytes (version 1) or 30 bytes and the path (version 2,
// at most 32768 characters): anything longer is not read further.
constexpr size_t kMaxIndexBytes = 28 + 2 * 32768;

std::vector<uint8_t> LoadedIndexBytes(volume::ScanState& state, ByteView record) {
  std::vector<uint8_t> bytes;
  ntfs::CopyRecordData(state, record, [&bytes](ByteView piece, bool) {
    bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<ptrdiff_t>(std::min(piece.size(), kMaxIndexBytes - bytes.size())));
    return bytes.size() < kMaxIndexBytes;
  });
  return bytes;
}

std::optional<std::vector<uint8_t>> RecordIndexBytes(volume::ScanState& state, const ntfs::FoundRecord& record) {
  const auto loaded = ntfs::LoadRecord(state, record.source);
  if (!loaded) return std::nullopt;
  return LoadedIndexBytes(state, *loaded);
}

std::string Utf8Of(const std::u16string& name) {
  std::string utf8;
  platform::Utf16ToUtf8(std::span<const uint16_t>(reinterpret_cast<const uint16_t*>(name.data()), name.size()),
                        utf8);
  return utf8;
}

BinNote NoteOf(const ntfs::RecycleBinIndex& index, bool isIndex) {
  return {index.originalPath, ntfs::FormatFileTime(index.deletedTime), index.size, index.version, index.damaged,
          isIndex};
}

// A bin file by its folder's record and its name.
using LiveKey = std::pair<uint32_t, std::string>;

// The folder record and the index's name ("$I" and the suffix) for a $R
// record row: where its index would stand if it was left in use.
std::optional<LiveKey> LiveIndexKey(volume::ScanState& state, const RowItem& item, std::string_view suffix) {
  const auto* found = std::get_if<ntfs::FoundRecord>(&item);
  const auto record = found ? ntfs::LoadRecord(state, found->source) : std::nullopt;
  const auto name = record ? ntfs::FileNameOf(state, *record) : std::nullopt;
  if (!name) return std::nullopt;
  return LiveKey{static_cast<uint32_t>(name->parentReference), "$I" + std::string(suffix)};
}

// The bin's index files still in use among `wanted`, read from the table:
// an index Windows kept while its file's data was deleted, or one a list of
// deleted files cannot hold. One pass over the table, stopped when all are
// found or at Cancel.
std::map<LiveKey, BinNote> LiveIndexNotes(volume::ScanState& state, const std::set<LiveKey>& wanted) {
  std::map<LiveKey, BinNote> notes;
  if (wanted.empty() || state.mftRecordSize == 0) return notes;
  const ntfs::MftLayout layout = ntfs::ReadMftLayout(state);
  std::vector<uint8_t> record(state.mftRecordSize);
  ntfs::MftRecordReader reader(state);
  for (uint32_t n = 0; n < layout.recordCount && notes.size() < wanted.size() && !state.cancelled; ++n) {
    if (!layout.Allocated(n) || !reader.Read(n, record) || (ntfs::RecordFlags(record) & ntfs::kRecordInUse) == 0)
      continue;
    const auto name = ntfs::FileNameOf(state, record);
    if (!name || (ntfs::RecordFlags(record) & ntfs::kRecordDirectory) != 0) continue;
    LiveKey key{static_cast<uint32_t>(name->parentReference), Utf8Of(name->name)};
    if (!wanted.contains(key)) continue;
    if (const auto index = ntfs::ParseRecycleBinIndex(LoadedIndexBytes(state, record)))
      notes.emplace(std::move(key), NoteOf(*index, false));
  }
  return notes;
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

const BinNote* NoteOfRow(const BinNotes& notes, size_t row) {
  const auto found = notes.find(row);
  return found == notes.end() ? nullptr : &found->second;
}

BinNotes RecycleBinNotes(volume::ScanState& state, const ResultList& rows) {
  BinNotes notes;
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
    notes[row] = NoteOf(*index, true);
    byKey.emplace(*key, NoteOf(*index, false));
  }
  std::vector<std::pair<size_t, LiveKey>> unnoted;
  for (size_t row = 0; row < rows.RowCount(); ++row) {
    const auto key = BinKey(rows, row, ntfs::BinNameKind::kData);
    if (!key) continue;
    if (const auto found = byKey.find(*key); found != byKey.end()) {
      notes[row] = found->second;
    } else if (ntfs) {
      if (auto live = LiveIndexKey(state, ReadRowItem(rows, row, kind), key->second))
        unnoted.emplace_back(row, std::move(*live));
    }
  }
  if (unnoted.empty()) return notes;
  std::set<LiveKey> wanted;
  for (const auto& [row, key] : unnoted) wanted.insert(key);
  const std::map<LiveKey, BinNote> live = LiveIndexNotes(state, wanted);
  for (const auto& [row, key] : unnoted)
    if (const auto found = live.find(key); found != live.end()) notes[row] = found->second;
  return notes;
}

std::string BinNoteText(const BinNote& note) {
  return "元の場所 " + note.originalPath + (note.damaged ? " (途中まで)" : "") + " (削除 " + note.deletedTime + ")";
}

}  // namespace vellum::app
