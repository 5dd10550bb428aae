#include "app/window_close.h"

namespace vellum::app {

bool MayCloseWindow(const ResultList& list, Messages& messages) {
  if (!list.HasUnsavedRows()) return true;
  return messages.Show(kUnsavedRowsQuestion, MessageButtons::YesNo, MessageIcon::Question, MessageAnswer::No) ==
         MessageAnswer::Yes;
}

}  // namespace vellum::app
