// Closing the main window with Esc or its close box. The documented window
// ends at once; rows a long scan found and nobody saved would go with it, so
// while there are such rows the window asks first (No by default).
#pragma once

#include <string_view>

#include "app/result_list.h"
#include "volume/seams.h"

namespace vellum::app {

inline constexpr std::string_view kUnsavedRowsQuestion = "検索結果は保存されていません。終了しますか？";

// True when the window may close: no rows that were not saved, or Yes to
// the question.
bool MayCloseWindow(const ResultList& list, Messages& messages);

}  // namespace vellum::app
