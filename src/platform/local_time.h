// Local time of a moment, over the whole range NTFS can record (from 1601):
// the C runtime on Windows gives up before 1970.
#pragma once

#include <ctime>

namespace vellum::platform {

// False when the moment has no local time the system can give.
bool LocalTime(time_t t, std::tm& out);

}  // namespace vellum::platform
