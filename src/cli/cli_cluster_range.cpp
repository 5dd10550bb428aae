#include "cli/cli_cluster_range.h"

#include <limits>

#include "app/cluster_range.h"

namespace vellum::cli {

namespace {

bool ParseStrictDecimal(std::string_view text, uint64_t& value) {
  if (text.empty()) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) return false;
    value = value * 10 + digit;
  }
  return true;
}

}  // namespace

bool ParseClusterRangeFlag(std::string_view text, ClusterRangeFlag& range, std::string& error) {
  const size_t dash = text.find('-');
  ClusterRangeFlag parsed;
  if (dash == std::string_view::npos || !ParseStrictDecimal(text.substr(0, dash), parsed.first) ||
      !ParseStrictDecimal(text.substr(dash + 1), parsed.last)) {
    error = "--range needs FIRST-LAST, two decimal cluster numbers, not '" + std::string(text) + "'";
    return false;
  }
  range = parsed;
  return true;
}

bool CliClusterRangeAsker::RunClusterRangeDialog(uint64_t& start, uint64_t& end) {
  if (!flag_) return true;
  const app::ClusterRangeCheck check = app::CheckClusterRange(flag_->first, flag_->last, start, end);
  if (!check.ok) {
    messages_.Show(check.message, MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok);
    failed_ = true;
    return false;
  }
  start = check.start;
  end = check.end;
  return true;
}

}  // namespace vellum::cli
