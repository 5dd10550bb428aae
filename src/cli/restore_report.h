// The restore report: one line per item with what was written and its
// SHA-256, so that a script (or a court) can check the copies later.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "restore/outcome.h"

namespace vellum::cli {

enum class ReportFormat { kTsv, kJson };

// The report, a line at a time (each with its line break), so that the
// report of a long list is written as it is made: a heading line and one
// TSV line per item, or one JSON object per line.
void EachRestoreReportLine(const restore::Outcomes& outcomes, ReportFormat format,
                           const std::function<void(std::string_view)>& line);

// "restored", "zero-filled", "skipped" or "failed".
const char* OutcomeName(restore::ItemResult result);

}  // namespace vellum::cli
