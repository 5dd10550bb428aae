// Keeps a dialog's controls placed as its window is resized. Each control has
// a horizontal and a vertical anchor set; with neither, it scales with the
// window.
#pragma once

#include <QList>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include "app/control_anchors.h"

namespace vellum::ui {

// Each an app::AnchorFlag set, the same rules as the Win32 window's.
struct Anchors {
  int horizontal = app::kAnchorScale;
  int vertical = app::kAnchorScale;
};

// Where a control recorded at `rect0` in a window of `window0` goes when the
// window is `window`.
QRect LaidOutRect(const QRect& rect0, Anchors anchors, QSize window0, QSize window);

class ControlLayout {
 public:
  // Remembers the window's size and the place of every control of `client`,
  // all scaling, until SetAnchors says otherwise.
  void Record(QSize window, QWidget* client);
  // Controls are found by their id (object name); an id without a control is
  // ignored.
  void SetAnchors(int id, int horizontal, int vertical);
  // Moves every recorded control for the window's new size; nothing before
  // Record.
  void Apply(QSize window);
  bool IsRecorded() const { return recorded_; }

 private:
  struct Child {
    QPointer<QWidget> widget;
    QRect rect0;
    Anchors anchors;
  };
  QList<Child> children_;
  QSize window0_;
  bool recorded_ = false;
};

}  // namespace vellum::ui
