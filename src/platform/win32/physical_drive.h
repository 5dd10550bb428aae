// The number of a whole disk named "PhysicalDriveN" (after the \\.\ prefix,
// when the caller has one).
#pragma once

#include <windows.h>

#include <string_view>

namespace vellum::platform {

inline bool ParsePhysicalDriveNumber(std::string_view name, DWORD& number) {
  static constexpr std::string_view kPrefix = "PhysicalDrive";
  if (name.size() <= kPrefix.size() || !name.starts_with(kPrefix)) return false;
  number = 0;
  for (size_t i = kPrefix.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9' || number > 100000) return false;
    number = number * 10 + static_cast<DWORD>(name[i] - '0');
  }
  return true;
}

}  // namespace vellum::platform
