// How fast a walk goes and how long it has left, from what it has done and
// what it has in all over the time taken: one rule for the progress window
// and the command line's progress line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "volume/scan_state.h"

namespace vellum::app {

// Nothing is said before this much time and a first step: the first
// moments of a walk (tables read, a cache warming) say little of the rest.
inline constexpr uint64_t kRateSettleMs = 2000;

// "残り 2:05" (minutes and seconds); empty until there is enough to go on,
// and when nothing is left.
std::string TimeLeftText(uint64_t done, uint64_t total, uint64_t elapsedMs);
// "1234/s", or "12.3 MB/s" when each step stands for unitBytes bytes;
// empty until there is enough to go on.
std::string SpeedText(uint64_t done, uint64_t elapsedMs, uint64_t unitBytes = 0);
// Both, as the command line shows them: "12.3 MB/s  残り 2:05".
std::string RateText(uint64_t done, uint64_t total, uint64_t elapsedMs, uint64_t unitBytes = 0);

// The bytes a step stands for in the phases of commands on `state`: a
// cluster in the cluster scans, a byte in a restore, nothing in the walks.
std::function<uint64_t(std::string_view)> UnitBytesOf(const volume::ScanState& state);

}  // namespace vellum::app
