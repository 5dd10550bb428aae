#include "cli/restore_report.h"

#include <ctime>
#include <nlohmann/json.hpp>

#include "platform/file_system.h"

namespace vellum::cli {

namespace {

std::string UtcTime(const std::optional<timespec>& t) {
  if (!t) return {};
  struct tm utc {};
  const time_t seconds = t->tv_sec;
  if (!gmtime_r(&seconds, &utc)) return {};
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

// TAB and line breaks never occur in the program's texts; a name from the
// disk could hold them, and must not break the line.
std::string TsvField(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return text;
}

// "zeros at 0-4095, 8192-9999" after what the reason says already.
void AppendRanges(std::string& reason, std::string_view what, const std::vector<restore::ByteRange>& ranges) {
  for (size_t i = 0; i < ranges.size(); ++i) {
    if (i == 0) reason += (reason.empty() ? "" : "; ") + std::string(what);
    else reason += ", ";
    reason += std::to_string(ranges[i].offset) + "-" + std::to_string(ranges[i].offset + ranges[i].length - 1);
  }
}

}  // namespace

const char* OutcomeName(restore::ItemResult result) {
  switch (result) {
    case restore::ItemResult::kRestored: return "restored";
    case restore::ItemResult::kZeroFilled: return "zero-filled";
    case restore::ItemResult::kPredicted: return "predicted";
    case restore::ItemResult::kPartlyOverwritten: return "partly-overwritten";
    case restore::ItemResult::kSkipped: return "skipped";
    case restore::ItemResult::kFailed: return "failed";
    case restore::ItemResult::kReadAsZeros: return "read-as-zeros";
  }
  return "?";
}

void EachRestoreReportLine(const restore::Outcomes& outcomes, ReportFormat format,
                           const std::function<void(std::string_view)>& line) {
  if (format == ReportFormat::kTsv) line("row\tsource\tdestination\tbytes\tsha256\tmtime\toutcome\treason\tstate\tcheck\n");
  std::string out;
  for (const restore::ItemOutcome& o : outcomes.Items()) {
    out.clear();
    std::string reason(o.reason);
    AppendRanges(reason, "overwritten at ", o.overwritten);
    AppendRanges(reason, "zeros at ", o.zeroFilled);
    AppendRanges(reason, "predicted at ", o.predicted);
    if (format == ReportFormat::kJson) {
      nlohmann::ordered_json j;
      j["row"] = o.row ? nlohmann::ordered_json(o.row) : nullptr;
      j["source"] = o.source;
      j["destination"] = platform::WithSystemSeparators(o.path);
      j["is_dir"] = o.folder;
      j["bytes"] = o.bytes;
      j["sha256"] = o.sha256.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(o.sha256);
      const std::string when = UtcTime(o.modified);
      j["mtime"] = when.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(when);
      j["outcome"] = OutcomeName(o.result);
      j["reason"] = reason;
      j["state"] = o.state.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(o.state);
      j["check"] = o.check.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(o.check);
      out += j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
      line(out);
      continue;
    }
    out += (o.row ? std::to_string(o.row) : std::string()) + "\t" + TsvField(o.source) + "\t" + TsvField(platform::WithSystemSeparators(o.path)) +
           "\t" + std::to_string(o.bytes) + "\t" + o.sha256 + "\t" + UtcTime(o.modified) + "\t" +
           OutcomeName(o.result) + "\t" + TsvField(reason) + "\t" + std::string(o.state) + "\t" + std::string(o.check) + "\n";
    line(out);
  }
}


}  // namespace vellum::cli
