#include "ui/control_layout.h"

namespace vellum::ui {

using app::LaidOutSpan;
using app::Span;

QRect LaidOutRect(const QRect& rect0, Anchors anchors, QSize window0, QSize window) {
  const Span h = LaidOutSpan({rect0.left(), rect0.left() + rect0.width()}, anchors.horizontal,
                             window0.width(), window.width());
  const Span v = LaidOutSpan({rect0.top(), rect0.top() + rect0.height()}, anchors.vertical,
                             window0.height(), window.height());
  return {h.nearEdge, v.nearEdge, h.farEdge - h.nearEdge, v.farEdge - v.nearEdge};
}

void ControlLayout::Record(QSize window, QWidget* client) {
  children_.clear();
  window0_ = window;
  for (QWidget* child : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isWindow()) continue;
    children_.push_back({child, child->geometry(), {}});
  }
  recorded_ = true;
}

void ControlLayout::SetAnchors(int id, int horizontal, int vertical) {
  const QString name = QString::number(id);
  for (Child& child : children_)
    if (child.widget && child.widget->objectName() == name) child.anchors = {horizontal, vertical};
}

void ControlLayout::Apply(QSize window) {
  if (!recorded_) return;
  for (const Child& child : children_) {
    if (!child.widget) continue;
    child.widget->setGeometry(LaidOutRect(child.rect0, child.anchors, window0_, window));
    child.widget->update();
  }
}

}  // namespace vellum::ui
