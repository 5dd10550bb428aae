// How the main window keeps its controls placed as it is resized, the same
// in the Qt window and the Win32 one: each control has a horizontal and a
// vertical anchor set; with neither, it scales with the window.
#pragma once

#include <span>

namespace vellum::app {

enum AnchorFlag : int {
  kAnchorScale = 0,
  kAnchorKeepSize = 1,
  kAnchorKeepNear = 2,   // the left or top edge stays where it was
  kAnchorFollowFar = 4,  // the right or bottom edge keeps its distance from the window's
};

struct ControlAnchors {
  int id;
  int horizontal;
  int vertical;
};

// The main window's anchored controls; every other control scales.
std::span<const ControlAnchors> MainWindowAnchors();

// One axis of a control recorded at [nearEdge, farEdge) in a window `size0`
// long, for a window now `size` long. The far edge is exclusive, as a window
// rectangle's is, so a kept size stays exactly the same number of pixels.
struct Span {
  int nearEdge;
  int farEdge;
};
Span LaidOutSpan(Span span0, int anchors, int size0, int size);

}  // namespace vellum::app
