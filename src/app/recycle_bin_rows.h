// What the Recycle Bin's index files say of the rows of a list (NTFS, and
// FAT or exFAT where Windows keeps a bin on a fixed drive): for a
// $R file or folder whose $I index the list holds (deleted, as emptying the
// bin leaves both) or, on NTFS, whose index is still in use beside it, and
// for the $I row itself, the path the file had before it was deleted and
// when it was deleted. Read from the open volume.
#pragma once

#include <cstdint>
#include <cstddef>
#include <string>
#include <unordered_map>

#include "app/result_list.h"
#include "volume/scan_state.h"

namespace vellum::app {

struct BinNote {
  std::string originalPath;  // "C:\Users\owner\Documents\report.docx"
  std::string deletedTime;   // "YYYY/MM/DD hh:mm:ss.mmm", local time, as the rows write times
  uint64_t size = 0;         // as the index recorded it
  uint32_t version = 0;
  bool damaged = false;      // the path is cut or not UTF-16: shown as far as it reads
  bool index = false;        // the $I row itself, not the file it describes
};

// The notes of the rows the bin says something of, by row: few in any list,
// so a list of millions of rows costs nothing here.
using BinNotes = std::unordered_map<size_t, BinNote>;
const BinNote* NoteOfRow(const BinNotes& notes, size_t row);

// None for a list that is neither NTFS's nor FAT's or exFAT's.
BinNotes RecycleBinNotes(volume::ScanState& state, const ResultList& rows);

// The text a person reads of a note: "元の場所 PATH (削除 TIME)", with a
// mark when the path is damaged.
std::string BinNoteText(const BinNote& note);

}  // namespace vellum::app
