// Reading a GNU ddrescue mapfile for a rescued image, for the command line's
// --map and the window's "マップファイルを読み込む".
#pragma once

#include <string>
#include <vector>

#include "volume/drives.h"
#include "volume/read_damage.h"

namespace vellum::app {

// The areas of `sourcePath` the map marks as not rescued. False with the
// reason (and the line it failed on) in `error`.
bool ReadMapFile(const std::string& mapPath, const std::string& sourcePath, std::vector<volume::ByteRange>& areas,
                 std::string& error);

// A window's mapfile: the areas it marks, for the one image it was read for.
struct WindowMap {
  std::string source;
  std::vector<volume::ByteRange> areas;
  // The areas for drive box entry `index`: none when it is another source.
  std::vector<volume::ByteRange> AreasFor(const volume::DriveTable& drives, int32_t index) const;
};

// "マップファイルで救出されていない部分: 2 か所 (68 KiB)".
std::string MapSummaryText(const std::vector<volume::ByteRange>& areas);

}  // namespace vellum::app
