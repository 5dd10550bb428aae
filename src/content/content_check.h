// What a carved file's own checks said of it: decoded to its end, or every
// checksum of its structure right ("verified"), gone wrong at a byte
// ("damaged from byte N"), or no checker for its type ("not checked").
#pragma once

#include <cstdint>

namespace vellum::content {

struct ContentCheck {
  enum class Verdict : uint8_t { kNotChecked, kVerified, kDamaged };
  Verdict verdict = Verdict::kNotChecked;
  uint64_t damagedFrom = 0;  // file offset where the data first went wrong (kDamaged)

  static ContentCheck Verified() { return {Verdict::kVerified, 0}; }
  static ContentCheck DamagedFrom(uint64_t offset) { return {Verdict::kDamaged, offset}; }
  bool operator==(const ContentCheck&) const = default;
};

// A length worked out from a file's structure, with what the walk learnt of
// the file on the way (a walk that checks CRCs as it goes says so here).
struct Measured {
  uint64_t size = 0;
  ContentCheck check;
};

}  // namespace vellum::content
