// What the window says after a search or a scan beyond its list, the same
// in the Qt window and the Win32 one: the line under the list, and when an
// exFAT search that found nothing is offered again as a thorough one. The
// rows a restore takes when one content row's size is corrected first.
#pragma once

#include <cstdint>
#include <vector>

#include "app/result_list.h"
#include "volume/scan_state.h"

namespace vellum::app {

// The line under the list: a text from window_texts.h, and whether it
// carries the offer to search again thoroughly. No text: the line is empty.
struct StatusLine {
  const char* text = nullptr;
  bool offersThorough = false;
};
StatusLine StatusAfterSearch(const volume::ScanState& state, bool thorough);

// An exFAT card keeps its files in live folders, which the plain walk never
// enters: a plain exFAT search that ran to its end and found nothing asks
// whether to search again thoroughly.
bool OffersThoroughSearch(const volume::ScanState& state, bool thorough);

// A quick format leaves a FAT card's folders in free clusters that the plain
// walk never reads: a plain FAT search that ran to its end and found nothing
// says that the thorough one reads them.
bool FatFindsMoreThoroughly(const volume::ScanState& state, bool thorough);

// A recognised content's size is worked out, not recorded: restoring one
// content row alone, the user may correct it first.
bool AsksContentSize(const ResultList& list, const std::vector<size_t>& rows);
// A list holding `row` of `list` alone, with `size` in its size cell.
ResultList RowWithSize(const ResultList& list, size_t row, uint64_t size);

}  // namespace vellum::app
