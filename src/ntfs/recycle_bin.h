// Windows' Recycle Bin on an NTFS volume: a file moved to the bin becomes
// $Recycle.Bin/<user's SID>/$R<six characters><extension> (its data, or the
// folder with its contents), and beside it $I<the same> records where it
// was, how large, and when it was deleted. Emptying the bin deletes both,
// and the index is what still knows the file's name and folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "volume/le.h"

namespace vellum::ntfs {

// The type shown for an index file, whatever its extension says.
inline constexpr std::string_view kBinIndexTypeName = "ごみ箱の情報ファイル";
// The type shown for an alternate data stream's row.
inline constexpr std::string_view kStreamTypeName = "代替データ ストリーム";

struct RecycleBinIndex {
  uint32_t version = 0;      // 1: Vista to 8.1; 2: Windows 10 and later
  uint64_t size = 0;         // of the file when it was deleted
  uint64_t deletedTime = 0;  // a Windows file time (UTC)
  std::string originalPath;  // "C:\Users\owner\Documents\report.docx", as far as it reads
  bool damaged = false;      // cut short, or not valid UTF-16 (shown with replacement characters)
};

// The index file's bytes read as one; none when they are no index of a
// known version. Every length is checked against the bytes: a path field or
// a path length reaching past them gives the path as far as it reads, flagged.
std::optional<RecycleBinIndex> ParseRecycleBinIndex(ByteView bytes);

// Whether `folder` (below the volume root, with either separator) is a
// user's folder of the bin: "$Recycle.Bin/S-..." in any case, anywhere.
bool IsRecycleBinFolder(std::string_view folder);

enum class BinNameKind { kNone, kIndex, kData };
// "$I..." (the index) or "$R..." (the file); `suffix` the rest of the name,
// which the two of one deleted file share.
BinNameKind BinNameKindOf(std::string_view name, std::string_view* suffix = nullptr);
// A file of the bin's own folder named as an index ($I...): no file of its
// extension's type. Windows keeps the same bin on FAT and exFAT fixed drives.
inline bool IsBinIndexRow(std::string_view name, std::string_view folder) {
  return BinNameKindOf(name) == BinNameKind::kIndex && IsRecycleBinFolder(folder);
}

// An original path as a path below a restore's destination: the drive
// ("C:") or server prefix dropped, '\' written as '/'. Each component is
// still to be checked by whoever makes the folders.
std::string PathBelowDestination(std::string_view originalPath);

}  // namespace vellum::ntfs
