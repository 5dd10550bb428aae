// The file-size question of a content row's restore (template 137): the
// size worked out for a recognised content, which the user may correct.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vellum::win32ui {

class FileSizeDialog {
 public:
  FileSizeDialog(HINSTANCE instance, HWND owner) : instance_(instance), owner_(owner) {}
  // False when the user cancelled; then `size` is unchanged.
  bool RunFileSizeDialog(uint64_t& size);

 private:
  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM w, LPARAM l);

  HINSTANCE instance_;
  HWND owner_;
  uint64_t size_ = 0;
};

}  // namespace vellum::win32ui
