// The cluster-range question on the command line: answered by --range
// FIRST-LAST, checked exactly as the dialog checks its two edits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "volume/seams.h"

namespace vellum::cli {

struct ClusterRangeFlag {
  uint64_t first = 0;
  uint64_t last = 0;
};

// FIRST-LAST, both plain decimal numbers that fit 64 bits, nothing else (no
// blanks, signs or empty sides). False with a reason for the usage message.
bool ParseClusterRangeFlag(std::string_view text, ClusterRangeFlag& range, std::string& error);

class CliClusterRangeAsker : public ClusterRangeAsker {
 public:
  // Without a flag the proposed range is taken as it is.
  CliClusterRangeAsker(std::optional<ClusterRangeFlag> flag, Messages& messages)
      : flag_(flag), messages_(messages) {}

  // A range outside the proposed one shows the dialog's warning with the
  // valid range and returns false with start and end untouched, as Cancel
  // would; Failed() then tells the command to exit with the usage status.
  bool RunClusterRangeDialog(uint64_t& start, uint64_t& end) override;
  bool Failed() const { return failed_; }
  // The range the last scan was given, once one was asked for.
  std::optional<ClusterRangeFlag> Chosen() const { return chosen_; }

 private:
  std::optional<ClusterRangeFlag> flag_;
  Messages& messages_;
  bool failed_ = false;
  std::optional<ClusterRangeFlag> chosen_;
};

}  // namespace vellum::cli
