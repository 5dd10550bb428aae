#include "win32ui/control_layout.h"

#include "app/control_anchors.h"

namespace vellum::win32ui {

namespace {

SIZE WindowSize(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return {r.right - r.left, r.bottom - r.top};
}

}  // namespace

BOOL CALLBACK ControlLayout::AddChild(HWND child, LPARAM self) {
  auto* layout = reinterpret_cast<ControlLayout*>(self);
  if (GetParent(child) != layout->dialog_) return TRUE;  // a control's own parts
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, layout->dialog_, reinterpret_cast<POINT*>(&r), 2);
  Child entry{child, r, app::kAnchorScale, app::kAnchorScale};
  for (const app::ControlAnchors& a : app::MainWindowAnchors())
    if (a.id == GetDlgCtrlID(child)) entry.horizontal = a.horizontal, entry.vertical = a.vertical;
  layout->children_.push_back(entry);
  return TRUE;
}

void ControlLayout::Record(HWND dialog) {
  dialog_ = dialog;
  window0_ = WindowSize(dialog);
  children_.clear();
  EnumChildWindows(dialog, &AddChild, reinterpret_cast<LPARAM>(this));
}

void ControlLayout::Apply() const {
  if (!dialog_) return;  // sizes while the window is being built
  const SIZE now = WindowSize(dialog_);
  for (const Child& c : children_) {
    const app::Span h = app::LaidOutSpan({c.rect0.left, c.rect0.right}, c.horizontal, window0_.cx, now.cx);
    const app::Span v = app::LaidOutSpan({c.rect0.top, c.rect0.bottom}, c.vertical, window0_.cy, now.cy);
    MoveWindow(c.window, h.nearEdge, v.nearEdge, h.farEdge - h.nearEdge, v.farEdge - v.nearEdge, TRUE);
  }
}

}  // namespace vellum::win32ui
