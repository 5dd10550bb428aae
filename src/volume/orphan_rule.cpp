#include "volume/orphan_rule.h"

namespace vellum::volume {

namespace {

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Years a FAT entry can hold run to 2107 and an NTFS time to 60056; a
// calendar time needs four digits.
bool IsCalendarTime(const CalendarTime& t) {
  if (t.year < 1601 || t.year > 9999 || t.month < 1 || t.month > 12) return false;
  if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) return false;
  return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second < 60;
}

// C0 controls and DEL as bytes; the C1 controls U+0080-U+009F are C2 80-9F in UTF-8.
bool HasControlCharacter(std::string_view name) {
  for (size_t i = 0; i < name.size(); ++i) {
    const auto b = static_cast<unsigned char>(name[i]);
    if (b < 0x20 || b == 0x7F) return true;
    if (b == 0xC2 && i + 1 < name.size()) {
      const auto next = static_cast<unsigned char>(name[i + 1]);
      if (next >= 0x80 && next <= 0x9F) return true;
    }
  }
  return false;
}

}  // namespace

CalendarTime DosCalendarTime(uint16_t date, uint16_t time, uint8_t tenMs) {
  CalendarTime t;
  t.year = 1980 + (date >> 9);
  t.month = (date >> 5) & 15;
  t.day = date & 31;
  t.hour = time >> 11;
  t.minute = (time >> 5) & 63;
  t.second = (time & 31) * 2 + tenMs / 100;
  return t;
}

OrphanFault CheckOrphan(const ScanState& state, const OrphanFacts& facts) {
  if (!IsCalendarTime(facts.time)) return OrphanFault::kInvalidTime;
  if (HasControlCharacter(facts.name)) return OrphanFault::kControlCharacter;
  // An empty file may have no cluster at all; anything else needs a data cluster.
  if (facts.firstCluster && (*facts.firstCluster != 0 || facts.size != 0) &&
      (*facts.firstCluster < 2 || *facts.firstCluster > state.lastCluster))
    return OrphanFault::kClusterOutside;
  if (facts.size > state.dataAreaBytes) return OrphanFault::kSizeOutside;
  return OrphanFault::kNone;
}

std::string_view OrphanFaultText(OrphanFault fault) {
  switch (fault) {
    case OrphanFault::kNone: return "";
    case OrphanFault::kInvalidTime: return "日時が暦にない";
    case OrphanFault::kControlCharacter: return "名前に制御文字がある";
    case OrphanFault::kClusterOutside: return "先頭クラスタがボリュームの外";
    case OrphanFault::kSizeOutside: return "サイズがボリュームより大きい";
  }
  return "";
}

}  // namespace vellum::volume
