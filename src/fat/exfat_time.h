// exFAT times as the device recorded them. A File entry keeps its time in
// the FAT layout (local time, two-second steps), a 10 ms increment that adds
// up to 1.99 s, and a UTC offset whose top bit says it is valid. Cameras,
// phones and the Windows and Linux drivers write both, so the moment is the
// time less its offset; we show and restore that moment in local time.
#pragma once

#include <cstdint>

namespace vellum::fat {

struct LocalDosTime {
  uint16_t date = 0;
  uint16_t time = 0;
  uint8_t tenMs = 0;  // 0..199: what the two-second steps leave out
};

// The recorded moment in local time. Without a valid offset the fields are
// local time already and only the increment is added; fields that are no
// calendar time, an increment above 199 and a moment outside the years FAT
// can hold are left as they were.
LocalDosTime ExfatLocalTime(uint16_t date, uint16_t time, uint8_t tenMs, uint8_t utcOffset);

}  // namespace vellum::fat
