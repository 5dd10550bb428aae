// A file recognised by its contents whose first cluster is the first cluster
// of a file the same search listed by name is that file's data again: it is
// marked as the same, and a restore of both writes it once.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "app/result_list.h"

namespace vellum::app {

// One per row: for a content row, the row (from 0) listed by name whose
// data it repeats; empty for every other row. FAT and exFAT lists, where a
// named row's first cluster is in the row; an NTFS list has none.
std::vector<std::optional<size_t>> SameContentRows(const ResultList& rows);

}  // namespace vellum::app
