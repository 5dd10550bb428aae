// Decimal numbers as the program reads them from edit boxes, result cells and
// PDF dictionaries: forgiving about what follows the digits, never failing.
#pragma once

#include <cstdint>
#include <string_view>

namespace vellum::volume {

// Skips leading white space (space, tab, line feed, carriage return, vertical
// tab, form feed), then reads decimal digits up to the first other character.
// No digits gives 0. A value past 2^64-1 saturates at UINT64_MAX (the rest of
// the digits are still consumed), so an oversized number never wraps around
// into a small one: a range check then rejects it and a sort puts it last.
uint64_t ParseUnsigned64(std::string_view text);

}  // namespace vellum::volume
