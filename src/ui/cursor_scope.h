// The wait cursor of a search, and the normal cursor over whatever asks the
// user something in the middle of it.
#pragma once

#include <QGuiApplication>

namespace vellum::ui {

// The wait cursor from construction to destruction, on every path out.
class WaitCursor {
 public:
  WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// A question or a dialog waits for the user, not the user for the program:
// while it is open the pointer is the normal one, and the wait cursor comes
// back when it closes. Does nothing when no command shows the wait cursor.
class NormalCursorWhileAsking {
 public:
  NormalCursorWhileAsking() : active_(QGuiApplication::overrideCursor() != nullptr) {
    if (active_) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
  }
  ~NormalCursorWhileAsking() {
    if (active_) QGuiApplication::restoreOverrideCursor();
  }
  NormalCursorWhileAsking(const NormalCursorWhileAsking&) = delete;
  NormalCursorWhileAsking& operator=(const NormalCursorWhileAsking&) = delete;

 private:
  bool active_;
};

}  // namespace vellum::ui
