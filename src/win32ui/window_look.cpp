#include "win32ui/window_look.h"

#include "app/main_control_ids.h"

namespace vellum::win32ui {

namespace {

using namespace app::main_control_ids;

constexpr int kBitmapWidth = 124;
constexpr int kBitmapHeight = 22;
constexpr COLORREF kBackground = RGB(206, 236, 252);
constexpr COLORREF kInk = RGB(26, 64, 120);
// The caption is written right of the lens painted at the bitmap's left.
constexpr int kCaptionLeft = 19;

HBITMAP Load(HINSTANCE instance, const wchar_t* name) {
  return static_cast<HBITMAP>(LoadImageW(instance, name, IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

void DrawCaption(const DRAWITEMSTRUCT& item, bool down) {
  wchar_t text[128] = {};
  GetWindowTextW(item.hwndItem, text, 128);
  const auto font = reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
  const HGDIOBJ old = SelectObject(item.hDC, font);
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, (item.itemState & ODS_DISABLED) ? GetSysColor(COLOR_GRAYTEXT) : down ? RGB(255, 255, 255) : kInk);
  const int shift = down ? 1 : 0;  // the face sinks when pressed
  RECT box{kCaptionLeft + shift, shift, kBitmapWidth - 2 + shift, kBitmapHeight + shift};
  const UINT prefix = (item.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0;
  DrawTextW(item.hDC, text, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | prefix);
  SelectObject(item.hDC, old);
}

}  // namespace

WindowLook::WindowLook(HINSTANCE instance)
    : faces_{{kSearchButtonId, Load(instance, L"SEARCH1"), Load(instance, L"SEARCH2")},
             {kRestoreButtonId, Load(instance, L"RESTORE1"), Load(instance, L"RESTORE2")},
             {kExitButtonId, Load(instance, L"CLOSE1"), Load(instance, L"CLOSE2")}},
      background_(CreateSolidBrush(kBackground)) {}

WindowLook::~WindowLook() {
  for (const Face& face : faces_) {
    if (face.normal) DeleteObject(face.normal);
    if (face.pressed) DeleteObject(face.pressed);
  }
  DeleteObject(background_);
}

bool WindowLook::Loaded() const {
  for (const Face& face : faces_)
    if (!face.normal || !face.pressed) return false;
  return true;
}

void WindowLook::Attach(HWND dialog) {
  dialog_ = dialog;
  for (const Face& face : faces_)
    SetWindowPos(GetDlgItem(dialog, face.id), nullptr, 0, 0, kBitmapWidth, kBitmapHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

const WindowLook::Face* WindowLook::FaceOf(int id) const {
  for (const Face& face : faces_)
    if (face.id == id) return &face;
  return nullptr;
}

bool WindowLook::OnDrawItem(const DRAWITEMSTRUCT& item) const {
  const Face* face = item.CtlType == ODT_BUTTON ? FaceOf(static_cast<int>(item.CtlID)) : nullptr;
  if (!face) return false;
  const bool down = (item.itemState & (ODS_SELECTED | ODS_FOCUS)) != 0;
  const HDC memory = CreateCompatibleDC(item.hDC);
  const HGDIOBJ old = SelectObject(memory, down ? face->pressed : face->normal);
  BitBlt(item.hDC, 0, 0, kBitmapWidth, kBitmapHeight, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  DrawCaption(item, down);
  return true;
}

bool WindowLook::OnSetCursor(HWND target) {
  if (target && FaceOf(GetDlgCtrlID(target)) && GetParent(target) == dialog_) {
    // Straight from one button onto the next: the first loses its edge.
    if (hover_ && hover_ != target) InvalidateRect(hover_, nullptr, TRUE);
    hover_ = target;
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    const HDC dc = GetDC(target);
    RECT edge{0, 0, kBitmapWidth, kBitmapHeight};
    DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
    ReleaseDC(target, dc);
    return true;
  }
  if (!hover_) return false;
  hover_ = nullptr;
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  for (const Face& face : faces_) InvalidateRect(GetDlgItem(dialog_, face.id), nullptr, TRUE);
  return true;
}

HBRUSH WindowLook::OnColour(HDC dc) const {
  SetBkMode(dc, TRANSPARENT);
  return background_;
}

}  // namespace vellum::win32ui
