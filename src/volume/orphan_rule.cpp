#include "volume/orphan_rule.h"

#include <chrono>

#include "platform/codepage.h"
#include "volume/fat_layout.h"

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

// Seconds since 1970 of calendar fields read as UTC (days from the civil
// calendar, proleptic Gregorian).
int64_t SecondsOf(const CalendarTime& t) {
  const int y = t.year - (t.month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (t.month + (t.month > 2 ? -3 : 9)) + 2) / 5 + t.day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t days = int64_t{era} * 146097 + doe - 719468;
  return days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

bool AfterTomorrow(const CalendarTime& t, int64_t now) {
  if (now == 0) now = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch()).count();
  return SecondsOf(t) > now + 86400;
}

// The clusters from the first on, as many as the size needs, end inside the volume.
bool RunFits(const ScanState& state, uint64_t first, uint64_t size) {
  if (size == 0 || state.clusterBytes == 0) return true;
  const uint64_t clusters = (size - 1) / state.clusterBytes + 1;
  return first <= state.lastCluster && clusters - 1 <= state.lastCluster - first;
}

// What Windows and Linux write into short names: upper case (lower case
// lives in the long name or in the case flags), and a double-byte character
// whole inside the name or inside the extension, never across them.
bool ShortNameProduced(ByteView name) {
  if (name.size() != fat_layout::kShortName.length) return true;
  // The deleted mark stands over the first byte, which may have led a
  // double-byte character: the second byte may then be its trail, any value.
  // 0x05 stands for a first byte of 0xE5, itself a lead byte.
  const bool markedFirst = name[0] == fat_layout::kDeletedMark;
  for (size_t i = markedFirst ? 1 : name[0] == fat_layout::kE5StandIn ? 2 : 0; i < name.size(); ++i) {
    const uint8_t c = name[i];
    if (platform::IsCp932LeadByte(c)) {
      if (i == 7 || i == 10) return false;
      ++i;
      continue;
    }
    if (c >= 'a' && c <= 'z' && !(markedFirst && i == 1)) return false;
  }
  return true;
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

OrphanFault CheckOrphan(const ScanState& state, const OrphanFacts& facts, int64_t now) {
  if (!IsCalendarTime(facts.time)) return OrphanFault::kInvalidTime;
  if (HasControlCharacter(facts.name)) return OrphanFault::kControlCharacter;
  if (!ShortNameProduced(facts.shortName)) return OrphanFault::kNameNotProduced;
  // An empty file may have no cluster at all; anything else needs a data cluster.
  if (facts.firstCluster && (*facts.firstCluster != 0 || facts.size != 0) &&
      (*facts.firstCluster < 2 || *facts.firstCluster > state.lastCluster))
    return OrphanFault::kClusterOutside;
  if (facts.size > state.dataAreaBytes) return OrphanFault::kSizeOutside;
  // An NTFS file's runs may go anywhere from its first cluster on; FAT and
  // exFAT files lost their chains and can only be read onwards from it.
  const bool fatFamily = facts.firstCluster && state.fsKind != kNtfs;
  if (fatFamily && !RunFits(state, *facts.firstCluster, facts.size)) return OrphanFault::kRunPastEnd;
  if (fatFamily && AfterTomorrow(facts.time, now)) return OrphanFault::kFutureTime;
  return OrphanFault::kNone;
}

std::string_view OrphanFaultText(OrphanFault fault) {
  switch (fault) {
    case OrphanFault::kNone: return "";
    case OrphanFault::kInvalidTime: return "日時が暦にない";
    case OrphanFault::kControlCharacter: return "名前に制御文字がある";
    case OrphanFault::kClusterOutside: return "先頭クラスタがボリュームの外";
    case OrphanFault::kSizeOutside: return "サイズがボリュームより大きい";
    case OrphanFault::kFutureTime: return "日時が明日より後";
    case OrphanFault::kRunPastEnd: return "ボリュームの終わりを越えるサイズ";
    case OrphanFault::kNameNotProduced: return "短い名前に書かれない文字がある";
  }
  return "";
}

}  // namespace vellum::volume
