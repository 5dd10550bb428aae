// The restore report: one line per item with what was written and its
// SHA-256, so that a script (or a court) can check the copies later.
#pragma once

#include <string>

#include "restore/outcome.h"

namespace vellum::cli {

enum class ReportFormat { kTsv, kJson };

// The whole report: a heading line and one TSV line per item, or one JSON
// object per line.
std::string FormatRestoreReport(const restore::Outcomes& outcomes, ReportFormat format);

// "restored", "zero-filled", "skipped" or "failed".
const char* OutcomeName(restore::ItemResult result);

}  // namespace vellum::cli
