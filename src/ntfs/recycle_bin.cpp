#include "ntfs/recycle_bin.h"

#include <algorithm>
#include <vector>

#include "platform/codepage.h"
#include "volume/ntfs_layout.h"

namespace vellum::ntfs {

namespace {

namespace L = ntfs_layout;

constexpr uint64_t kHeaderBytes = L::kBinHeaderBytes;
constexpr uint64_t kVersion1PathBytes = 520;
// A Windows path holds at most 32767 characters and its NUL.
constexpr uint64_t kMaxPathUnits = 32768;

// The UTF-16 units of a path field, up to its first NUL.
std::vector<uint16_t> PathUnits(ByteView bytes, uint64_t offset, uint64_t units, bool& ended) {
  std::vector<uint16_t> out;
  ended = false;
  for (uint64_t i = 0; i < units && InBounds(bytes.size(), offset + 2 * i, 2); ++i) {
    const uint16_t unit = Le16(bytes, offset + 2 * i);
    if (unit == 0) {
      ended = true;
      break;
    }
    out.push_back(unit);
  }
  return out;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return Lower(x) == Lower(y);
         });
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

std::optional<RecycleBinIndex> ParseRecycleBinIndex(ByteView bytes) {
  if (bytes.size() < kHeaderBytes) return std::nullopt;
  RecycleBinIndex index;
  const uint64_t version = Le(bytes, L::kBinVersion);
  if (version != 1 && version != 2) return std::nullopt;
  index.version = static_cast<uint32_t>(version);
  index.size = Le(bytes, L::kBinFileSize);
  index.deletedTime = Le(bytes, L::kBinDeletedTime);
  uint64_t offset = kHeaderBytes, units = kVersion1PathBytes / 2;
  if (version == 2) {
    if (!InBounds(bytes.size(), L::kBinPathUnits.offset, 4)) return std::nullopt;
    units = std::min<uint64_t>(Le(bytes, L::kBinPathUnits), kMaxPathUnits);
    offset = L::kBinPathUnits.End();
  }
  bool ended = false;
  const std::vector<uint16_t> path = PathUnits(bytes, offset, units, ended);
  // A path whose NUL is not where its field or length says is cut short
  // (or its length is a lie): shown as far as it reads.
  const bool whole = version == 1 ? ended : ended && path.size() + 1 == units;
  const bool valid = platform::Utf16ToUtf8(path, index.originalPath);
  index.damaged = !whole || !valid;
  return index;
}

bool IsRecycleBinFolder(std::string_view folder) {
  std::vector<std::string_view> parts;
  for (size_t at = 0; at <= folder.size();) {
    size_t end = at;
    while (end < folder.size() && !IsSeparator(folder[end])) ++end;
    if (end > at) parts.push_back(folder.substr(at, end - at));
    at = end + 1;
  }
  if (parts.size() < 2) return false;
  const std::string_view sid = parts.back();
  return EqualsIgnoringCase(parts[parts.size() - 2], "$Recycle.Bin") && sid.size() > 2 &&
         EqualsIgnoringCase(sid.substr(0, 2), "S-");
}

BinNameKind BinNameKindOf(std::string_view name, std::string_view* suffix) {
  if (name.size() < 3 || name[0] != '$') return BinNameKind::kNone;
  if (suffix) *suffix = name.substr(2);
  if (name[1] == 'I' || name[1] == 'i') return BinNameKind::kIndex;
  if (name[1] == 'R' || name[1] == 'r') return BinNameKind::kData;
  return BinNameKind::kNone;
}

std::string PathBelowDestination(std::string_view originalPath) {
  std::string_view rest = originalPath;
  // "\\?\C:\..." and "\\server\share\..." lose their leading separators;
  // "C:" its drive letter.
  if (rest.starts_with("\\\\?\\")) rest.remove_prefix(4);
  if (rest.size() >= 2 && rest[1] == ':') rest.remove_prefix(2);
  while (!rest.empty() && IsSeparator(rest.front())) rest.remove_prefix(1);
  std::string out(rest);
  std::replace(out.begin(), out.end(), '\\', '/');
  while (!out.empty() && out.back() == '/') out.pop_back();
  return out;
}

}  // namespace vellum::ntfs
