#include "platform/local_time.h"

#include <windows.h>

#include <cstdint>

namespace vellum::platform {

bool LocalTime(time_t t, std::tm& out) {
  // Seconds from 1601 to 1970, and the last second a SYSTEMTIME can hold (30827).
  constexpr int64_t kEpochSeconds = 11644473600LL;
  const int64_t seconds = static_cast<int64_t>(t);
  if (seconds < -kEpochSeconds || seconds > 910692730000LL) return false;
  const uint64_t ticks = static_cast<uint64_t>(seconds + kEpochSeconds) * 10000000ULL;
  FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME u{}, local{};
  if (!FileTimeToSystemTime(&utc, &u) || !SystemTimeToTzSpecificLocalTime(nullptr, &u, &local)) return false;
  out = std::tm{};
  out.tm_year = local.wYear - 1900;
  out.tm_mon = local.wMonth - 1;
  out.tm_mday = local.wDay;
  out.tm_hour = local.wHour;
  out.tm_min = local.wMinute;
  out.tm_sec = local.wSecond;
  out.tm_wday = local.wDayOfWeek;
  out.tm_isdst = -1;
  return true;
}

}  // namespace vellum::platform
