// Names from a disk shown on a terminal or in a list view: a name may hold
// any character its file system lets through, control characters included,
// and an ESC sequence printed raw would drive the terminal.
#pragma once

#include <string>
#include <string_view>

namespace vellum::app {

// `text` with nothing a terminal acts on: TAB, CR and LF as \t, \r and \n,
// ESC as ^[ and the other C0 characters and DEL in the same caret form (^A,
// ^?), the C1 characters and bytes that are no UTF-8 as U+FFFD. Text
// without any of these comes back unchanged.
std::string VisibleText(std::string_view text);

}  // namespace vellum::app
