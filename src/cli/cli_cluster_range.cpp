#include "cli/cli_cluster_range.h"

#include <limits>
#include <string>

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
    error = "--range には FIRST-LAST の形で 2 つのクラスタ番号 (10 進数) を指定してください: '" + std::string(text) + "'";
    return false;
  }
  range = parsed;
  return true;
}

bool CliClusterRangeAsker::RunClusterRangeDialog(uint64_t& start, uint64_t& end) {
  if (!flag_) {
    chosen_ = ClusterRangeFlag{start, end};
    return true;
  }
  const app::ClusterRangeCheck check = app::CheckClusterRange(flag_->first, flag_->last, start, end);
  if (!check.ok) {
    // The dialog's own edits show the limits; a flag has only this line to say them.
    messages_.Show(std::string(check.message) + "\n--range には " + std::to_string(start) + "-" + std::to_string(end) +
                       " の範囲で指定してください。",
                   MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok);
    failed_ = true;
    return false;
  }
  start = check.start;
  end = check.end;
  chosen_ = ClusterRangeFlag{start, end};
  return true;
}

}  // namespace vellum::cli
