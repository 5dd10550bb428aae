#include "app/control_anchors.h"

#include "app/main_control_ids.h"

namespace vellum::app {

namespace {

constexpr int kRightColumn = kAnchorKeepSize | kAnchorFollowFar;

// The list grows with the window; the right-hand column keeps its size and
// its distance from the right edge, and spreads vertically in proportion.
constexpr ControlAnchors kMainAnchors[] = {
    {kListId, kAnchorKeepNear | kAnchorFollowFar, kAnchorKeepNear | kAnchorFollowFar},
    {kDriveLabelId, kRightColumn, kAnchorKeepSize},     {kDriveBoxControlId, kRightColumn, kAnchorKeepSize},
    {kFilterLabelId, kRightColumn, kAnchorKeepSize},    {kFilterEditId, kRightColumn, kAnchorKeepSize},
    {kSearchButtonId, kRightColumn, kAnchorKeepSize},   {kInUseCheckId, kRightColumn, kAnchorKeepSize},
    {kInUseLine1Id, kRightColumn, kAnchorKeepSize},     {kInUseLine2Id, kRightColumn, kAnchorKeepSize},
    {kZeroSizeCheckId, kRightColumn, kAnchorKeepSize},  {kZeroSizeLine1Id, kRightColumn, kAnchorKeepSize},
    {kZeroSizeLine2Id, kRightColumn, kAnchorKeepSize},  {kAnalyseCheckId, kRightColumn, kAnchorKeepSize},
    {kAnalyseLabelId, kRightColumn, kAnchorKeepSize},   {kCountLabelId, kRightColumn, kAnchorKeepSize},
    {kFoundCountId, kRightColumn, kAnchorKeepSize},     {kRestoreButtonId, kRightColumn, kAnchorKeepSize},
    {kExitButtonId, kRightColumn, kAnchorKeepSize},     {kLogoId, kRightColumn, kAnchorKeepSize},
    // The line under the list stays at the bottom and as wide as the list.
    {kStatusTextId, kAnchorKeepNear | kAnchorFollowFar, kAnchorKeepSize | kAnchorFollowFar},
    {kStatusActionId, kRightColumn, kAnchorKeepSize | kAnchorFollowFar},
};

}  // namespace

std::span<const ControlAnchors> MainWindowAnchors() { return kMainAnchors; }

Span LaidOutSpan(Span span0, int anchors, int size0, int size) {
  const double ratio = size0 > 0 ? static_cast<double>(size) / size0 : 1.0;
  const int delta = size - size0;
  Span span{};
  if (anchors & kAnchorKeepNear)
    span.nearEdge = span0.nearEdge;
  else if ((anchors & kAnchorKeepSize) && (anchors & kAnchorFollowFar))
    span.nearEdge = span0.nearEdge + delta;
  else
    span.nearEdge = static_cast<int>(span0.nearEdge * ratio);

  if (anchors & kAnchorFollowFar)
    span.farEdge = span0.farEdge + delta;
  else if (anchors & kAnchorKeepSize)
    span.farEdge = span.nearEdge + (span0.farEdge - span0.nearEdge);
  else
    span.farEdge = static_cast<int>(span0.farEdge * ratio);
  return span;
}

}  // namespace vellum::app
