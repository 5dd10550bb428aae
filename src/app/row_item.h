// A result row read once into what it stands for: a deleted FAT or exFAT
// entry, a deleted NTFS record, or a file recognised by its contents. The
// restore works from these items alone, never from the cell texts.
#pragma once

#include <cstddef>
#include <string>
#include <variant>

#include "app/result_list.h"
#include "content/found_content.h"
#include "fat/found_entry.h"
#include "ntfs/found_record.h"

namespace vellum::app {

// Which walk made a list: its column 5 holds cluster numbers (FAT, exFAT)
// or file record numbers (NTFS). Told by what the rows hold: only NTFS rows
// have cells past column 5 (a scanned cluster and slot, the cluster of a
// recognised file) and times to the millisecond. A list without rows
// counts as FAT's.
enum class ListKind { kFatFamily, kNtfs };
ListKind KindOfList(const ResultList& rows);

// A row no restore can take: cells that hold none of the items.
struct UnusableRow {};

using RowItem = std::variant<UnusableRow, fat::FoundEntry, ntfs::FoundRecord, content::FoundContent>;

// The item of row `row`. The kind comes from what the row holds: a FAT or
// exFAT entry has a time, an NTFS record a record number (or a scanned
// cluster and slot); a recognised file has neither, and its name is made
// from its first cluster.
RowItem ReadRowItem(const ResultList& rows, size_t row, ListKind kind);

// Whether the row is of a file recognised by its contents.
bool IsContentRow(const ResultList& rows, size_t row);

// The row's folder below the volume root: its folder cell without the list's
// root text, whatever the list's volume was called (a copy, a renamed image,
// the device itself).
std::string RowFolderBelowRoot(const ResultList& rows, size_t row);

}  // namespace vellum::app
