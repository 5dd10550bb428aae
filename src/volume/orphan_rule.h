// Whether an entry or a record a cluster scan read from a cluster nothing
// points at may be listed. Such a cluster may hold anything, and a run of
// file bytes can pass every check of an entry's layout; what real entries
// never hold is a time that is no calendar time, a control character in a
// name, or a cluster or size outside the volume. One rule for every scan
// (FAT, exFAT, NTFS), with the reason it gives.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::volume {

enum class OrphanFault {
  kNone,
  kInvalidTime,       // month 13, day 31 of April, hour 25, ...
  kControlCharacter,  // C0 or C1 controls, DEL
  kClusterOutside,    // a first cluster that is no data cluster of the volume
  kSizeOutside,       // more bytes than the volume's data area holds
  // Added later; stored nowhere, so their order is free.
  kFutureTime,        // after tomorrow: no clock that wrote a real entry was there yet
  kRunPastEnd,        // the clusters from the first one on end past the volume's last
  kNameNotProduced,   // short-name bytes no FAT driver writes (lower case, a split character)
};

// Calendar fields as an entry stores them (local time or not: only their
// ranges count).
struct CalendarTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct OrphanFacts {
  std::string_view name;  // UTF-8
  CalendarTime time;
  std::optional<uint64_t> firstCluster;  // none for an NTFS record
  uint64_t size = 0;
  ByteView shortName;  // the 11 bytes of a FAT short entry (code page 932); empty elsewhere
};

// A FAT or exFAT date and time (seconds in two-second steps) plus what an
// exFAT 10 ms increment adds.
CalendarTime DosCalendarTime(uint16_t date, uint16_t time, uint8_t tenMs = 0);

// The first reason the facts cannot be a real entry's, or kNone. A FAT or
// exFAT entry is also held against the volume's end from its first cluster
// on, and against the clock: a time
// after `now` plus a day is refused (a day covers every time zone a local
// FAT time may be in). `now`: seconds since 1970 (UTC); 0 takes the clock.
OrphanFault CheckOrphan(const ScanState& state, const OrphanFacts& facts, int64_t now = 0);

// The reason in words, for messages and tests.
std::string_view OrphanFaultText(OrphanFault fault);

}  // namespace vellum::volume
