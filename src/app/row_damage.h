// Which bytes of a listed file lie on sectors the command could not read:
// those its reads have met so far, and the areas a ddrescue map marks as
// not rescued. The row then shows "読めない部分あり" with the file's ranges.
#pragma once

#include "app/row_item.h"
#include "volume/recoverability.h"

namespace vellum::app {

// Marks `r` unreadable with the item's damaged byte ranges, unless its data
// is overwritten already (then the damage changes nothing).
void AddReadDamage(volume::ScanState& state, const RowItem& item, volume::Recoverability& r);

}  // namespace vellum::app
