#include "app/map_file.h"

#include <fstream>
#include <iterator>

#include "volume/ddrescue_map.h"

namespace vellum::app {

namespace {

// A mapfile lists a few lines per bad area; one this large is no mapfile.
constexpr std::streamoff kLargestMapBytes = 256 << 20;

std::streamoff SizeOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  return in ? static_cast<std::streamoff>(in.tellg()) : -1;
}

}  // namespace

bool ReadMapFile(const std::string& mapPath, const std::string& sourcePath, std::vector<volume::ByteRange>& areas,
                 std::string& error) {
  const std::streamoff sourceSize = SizeOf(sourcePath), mapSize = SizeOf(mapPath);
  if (sourceSize < 0 || mapSize < 0) {
    error = "マップファイル " + mapPath + " を読めません。";
    return false;
  }
  if (mapSize > kLargestMapBytes) {
    error = mapPath + " は大きすぎて ddrescue のマップファイルとは思えません。";
    return false;
  }
  std::ifstream map(mapPath, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(map)), std::istreambuf_iterator<char>());
  volume::DdrescueMap parsed = volume::ParseDdrescueMap(text, static_cast<uint64_t>(sourceSize));
  if (!parsed.ok) {
    error = "マップファイル " + mapPath + " の " + std::to_string(parsed.line) + " 行目: " + parsed.error +
            "。このマップファイルは " + sourcePath + " (" + std::to_string(sourceSize) + " バイト) には使えません。";
    return false;
  }
  areas = std::move(parsed.unfinished);
  return true;
}

std::vector<volume::ByteRange> WindowMap::AreasFor(const volume::DriveTable& drives, int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= drives.entries.size() || source.empty()) return {};
  return drives.entries[static_cast<size_t>(index)].sourcePath == source ? areas : std::vector<volume::ByteRange>{};
}

std::string MapSummaryText(const std::vector<volume::ByteRange>& areas) {
  uint64_t bytes = 0;
  for (const volume::ByteRange& a : areas) bytes += a.end - a.first;
  return "マップファイルで救出されていない部分: " + std::to_string(areas.size()) + " か所 (" +
         volume::DamageSizeText(bytes) + ")";
}

}  // namespace vellum::app
