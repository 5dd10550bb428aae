// A GNU ddrescue mapfile: the record, beside a rescued image, of which of
// its bytes were read from the failing disk ('+', finished) and which were
// not (non-tried '?', non-trimmed '*', non-scraped '/', bad sector '-').
// The bytes not finished are zeros in the image, not the disk's: they are
// taken as unreadable, as a failed read is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "volume/read_damage.h"

namespace vellum::volume {

struct DdrescueMap {
  bool ok = false;
  // When not ok: the line (from 1) it failed on and what was wrong there.
  size_t line = 0;
  std::string error;
  // Every byte range of [0, imageSize) not marked finished, sorted and
  // merged; the bytes no block covers count among them.
  std::vector<ByteRange> unfinished;
};

// Parses the mapfile's text for an image of imageSize bytes. Blocks must
// follow one another without overlap and end inside the image.
DdrescueMap ParseDdrescueMap(std::string_view text, uint64_t imageSize);

}  // namespace vellum::volume
