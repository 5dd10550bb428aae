// The main window's look: the three picture buttons drawn from their bitmaps
// with the raised edge while the cursor is over them, and the light-blue
// background behind the dialog, its labels and check boxes.
#pragma once

#include <windows.h>

namespace vellum::win32ui {

class WindowLook {
 public:
  // Loads the bitmaps "SEARCH1" ... "CLOSE2" and makes the brush.
  explicit WindowLook(HINSTANCE instance);
  ~WindowLook();
  WindowLook(const WindowLook&) = delete;
  WindowLook& operator=(const WindowLook&) = delete;

  // False when a bitmap is missing: the window cannot be built.
  bool Loaded() const;
  // Each picture button takes its bitmap's size.
  void Attach(HWND dialog);

  // WM_DRAWITEM of a picture button; false for any other control.
  bool OnDrawItem(const DRAWITEMSTRUCT& item) const;
  // WM_SETCURSOR naming `target`; true when it counts as handled.
  bool OnSetCursor(HWND target);
  // WM_CTLCOLORDLG and WM_CTLCOLORSTATIC: the brush, the text drawn on it.
  HBRUSH OnColour(HDC dc) const;

 private:
  struct Face {
    int id;
    HBITMAP normal;
    HBITMAP pressed;
  };
  const Face* FaceOf(int id) const;

  HWND dialog_ = nullptr;
  Face faces_[3];
  HBRUSH background_;
  HWND hover_ = nullptr;  // the picture button the cursor is over
};

}  // namespace vellum::win32ui
