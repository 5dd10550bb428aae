#include "app/ntfs_folder_choice.h"

#include <algorithm>
#include <span>
#include <vector>

#include "ntfs/attribute.h"
#include "ntfs/file_name.h"
#include "ntfs/ntfs_search.h"
#include "ntfs/record.h"
#include "platform/codepage.h"
#include "platform/file_system.h"
#include "restore/restore_output.h"

namespace vellum::app {

namespace {

NtfsFolderChoice Refused(std::string why) {
  NtfsFolderChoice choice;
  choice.error = std::move(why);
  return choice;
}

// Every component of a path rebuilt from the disk must be usable as a name
// below the destination: a name such as ".." would lead out of it.
bool SafeRelativePath(const std::string& path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = start;
    while (slash < path.size() && !platform::IsPathSeparator(path[slash])) ++slash;
    if (!restore::IsSafeComponent(std::string_view(path).substr(start, slash - start))) return false;
    start = slash + 1;
  }
  return true;
}

}  // namespace

NtfsFolderChoice CheckNtfsFolderChoice(volume::ScanState& state, uint32_t record) {
  const std::string number = std::to_string(record);
  if (record == ntfs::kRootRecord)
    return Refused("ファイル番号 " + number + " はルートフォルダです。削除されたフォルダのファイル番号を指定してください。");
  std::vector<uint8_t> buffer(state.mftRecordSize);
  if (buffer.empty() || !ntfs::ReadMftRecord(state, record, buffer))
    return Refused("ファイル番号 " + number + " のレコードは読めません。");
  if ((ntfs::RecordFlags(buffer) & ntfs::kRecordDirectory) == 0)
    return Refused("ファイル番号 " + number + " はフォルダではありません。削除されたフォルダのファイル番号を指定してください。");
  const auto name = ntfs::FileNameOf(state, buffer);
  if (!name) return Refused("ファイル番号 " + number + " のフォルダには名前がありません。");
  std::string path;
  const std::span<const uint16_t> units(reinterpret_cast<const uint16_t*>(name->name.data()), name->name.size());
  if (!platform::Utf16ToUtf8(units, path)) return Refused("ファイル番号 " + number + " のフォルダの名前は読めません。");
  ntfs::BuildParentPath(state, path, name->parentReference, ntfs::kRootRecord);
  if (path.starts_with(state.rootPath)) path.erase(0, state.rootPath.size());
  if (!SafeRelativePath(path)) return Refused("ファイル番号 " + number + " のフォルダの名前は復元先で使えません。");
  NtfsFolderChoice choice;
  choice.ok = true;
  choice.relativePath = path;
  return choice;
}

}  // namespace vellum::app
