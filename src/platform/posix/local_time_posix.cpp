#include "platform/local_time.h"

namespace vellum::platform {

bool LocalTime(time_t t, std::tm& out) { return localtime_r(&t, &out) != nullptr; }

}  // namespace vellum::platform
