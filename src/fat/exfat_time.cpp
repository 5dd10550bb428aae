#include "fat/exfat_time.h"

#include <ctime>

#include "platform/local_time.h"

namespace vellum::fat {

namespace {

constexpr uint8_t kOffsetValid = 0x80;
constexpr int64_t kSecondsPerQuarterHour = 15 * 60;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool IsCalendarTime(unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second) {
  return month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour < 24 && minute < 60 && second < 60;
}

// The offset's low seven bits: a signed count of quarter hours.
int64_t OffsetSeconds(uint8_t offset) {
  const int quarters = (offset & 0x40) ? static_cast<int>(offset & 0x7F) - 128 : (offset & 0x7F);
  return quarters * kSecondsPerQuarterHour;
}

LocalDosTime Fields(const std::tm& t, unsigned hundredths) {
  LocalDosTime out;
  out.date = static_cast<uint16_t>(((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
  out.time = static_cast<uint16_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
  out.tenMs = static_cast<uint8_t>((t.tm_sec % 2) * 100 + hundredths);
  return out;
}

}  // namespace

LocalDosTime ExfatLocalTime(uint16_t date, uint16_t time, uint8_t tenMs, uint8_t utcOffset) {
  const LocalDosTime recorded{date, time, static_cast<uint8_t>(tenMs <= 199 ? tenMs : 0)};
  const unsigned month = (date >> 5) & 15, day = date & 31;
  const unsigned hour = time >> 11, minute = (time >> 5) & 63, second = (time & 31) * 2;
  if ((utcOffset & kOffsetValid) == 0 || !IsCalendarTime(month, day, hour, minute, second)) return recorded;
  const int64_t moment = DaysFromCivil(1980 + (date >> 9), month, day) * 86400 + hour * 3600 + minute * 60 +
                         second + recorded.tenMs / 100 - OffsetSeconds(utcOffset);
  std::tm local{};
  if (!platform::LocalTime(static_cast<time_t>(moment), local) || local.tm_year < 80 || local.tm_year > 207)
    return recorded;
  return Fields(local, recorded.tenMs % 100);
}

}  // namespace vellum::fat
