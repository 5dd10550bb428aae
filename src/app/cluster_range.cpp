#include "app/cluster_range.h"

#include "app/parse_number.h"

namespace vellum::app {

namespace {

ClusterRangeCheck Refuse(std::string_view message, int focusId) {
  ClusterRangeCheck check;
  check.message = message;
  check.focusId = focusId;
  return check;
}

}  // namespace

ClusterRangeCheck CheckClusterRange(uint64_t first, uint64_t last, uint64_t limitStart,
                                    uint64_t limitEnd) {
  // The order of the tests matters: a start below the limit is reported
  // before anything is said about the end.
  if (first < limitStart) return Refuse(kStartTooSmallMessage, kStartClusterEditId);
  if (last > limitEnd) return Refuse(kEndTooLargeMessage, kEndClusterEditId);
  if (last < first) return Refuse(kEndBeforeStartMessage, kEndClusterEditId);
  ClusterRangeCheck check;
  check.ok = true;
  check.start = first;
  check.end = last;
  return check;
}

ClusterRangeCheck CheckClusterRangeTexts(std::string_view startText, std::string_view endText,
                                         uint64_t limitStart, uint64_t limitEnd) {
  return CheckClusterRange(ParseUnsigned64(startText), ParseUnsigned64(endText), limitStart,
                           limitEnd);
}

std::string ClusterNumberText(uint64_t value) { return std::to_string(value); }

}  // namespace vellum::app
