// Lost compound files (structured storage: Office 97-2003 documents,
// installer packages, ...): the length from the last sector their FAT marks
// used, the application from the names of the streams in their directory.
#pragma once

#include <cstdint>
#include <string>

#include "content/compound_sector.h"
#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::content {

// The extension of the first known stream in the directory sector, "ole"
// when none is known, "doc" when the sector cannot be read.
std::string ClassifyDirectorySector(CompoundReader& reader, uint32_t sector);

// Classifies along the directory chain until a sector holds a known stream
// (at most 1,001 sectors).
std::string ClassifyCompoundFile(CompoundReader& reader, ByteView header);

// The number of sectors after the header that the file's FAT describes as used.
uint64_t CompoundSectorCount(CompoundReader& reader, ByteView header);

// Measures and classifies the file whose header starts cluster `start`, and
// adds its row when the extension passes the name filter.
void AnalyseCompoundFile(volume::ScanState& state, uint64_t start, ByteView header);

}  // namespace vellum::content
