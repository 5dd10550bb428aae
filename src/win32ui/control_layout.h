// Keeps the main window's controls placed as the window is resized, by the
// anchors the application layer gives each control.
#pragma once

#include <windows.h>

#include <vector>

namespace vellum::win32ui {

class ControlLayout {
 public:
  // Remembers the window's size and the place of every child; nothing is
  // moved before this.
  void Record(HWND dialog);
  // Moves every recorded child for the window's current size.
  void Apply() const;

 private:
  struct Child {
    HWND window;
    RECT rect0;
    int horizontal;
    int vertical;
  };
  static BOOL CALLBACK AddChild(HWND child, LPARAM self);

  HWND dialog_ = nullptr;
  SIZE window0_{};
  std::vector<Child> children_;
};

}  // namespace vellum::win32ui
