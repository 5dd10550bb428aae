// The quick pass may pass over a slot only when the exFAT walk would take
// nothing from it: a File entry or end mark among old file data must be
// found wherever it stands, in a group of eight, at a group's edge, in the
// last slot, or in a cluster whose size is no whole number of groups.
#include "fat/scan_slots.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vellum::fat {
namespace {

// Slots of old file data that the pass may not stop at: no File entry or
// end mark.
std::vector<uint8_t> Noise(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  for (size_t at = 0; at + 32 <= size; at += 32) {
    uint8_t& type = bytes[at];
    if (type == 0 || (type & 0x7F) == 0x05) type = 0x41;
  }
  return bytes;
}

TEST(ScanSlots, ExfatStopsAtEveryFileEntryAndEndMark) {
  for (size_t size : {512u, 4096u, 4096u + 96u}) {
    const size_t end = size / 32 * 32;
    EXPECT_EQ(NextExfatSetSlot(Noise(size, 2), 0), end);
    for (size_t slot = 0; slot < size / 32; ++slot) {
      const size_t at = slot * 32;
      for (uint8_t type : {0x85, 0x05, 0x00}) {
        std::vector<uint8_t> c = Noise(size, static_cast<uint32_t>(slot));
        c[at] = type;
        EXPECT_EQ(NextExfatSetSlot(c, 0), at) << size << " slot " << slot << " type " << int{type};
        if (at + 32 < end) {
          EXPECT_EQ(NextExfatSetSlot(c, at + 32), end);
        }
      }
    }
  }
}

}  // namespace
}  // namespace vellum::fat
