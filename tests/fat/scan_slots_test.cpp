// The quick passes may pass over a slot only when the walks would drop it:
// one slot to read among old file data must be found wherever it stands,
// in a group of eight, at a group's edge, in the last slot, or in a cluster
// whose size is no whole number of groups.
#include "fat/scan_slots.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vellum::fat {
namespace {

constexpr uint64_t kLastCluster = 0x3'4567;  // the high half 3, the low 0x4567

// Slots of old file data that no pass may stop at: no end mark, dot or
// long-name attribute, a cluster number past the volume, and no exFAT
// File entry or end mark either.
std::vector<uint8_t> Noise(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  for (size_t at = 0; at + 32 <= size; at += 32) {
    uint8_t& type = bytes[at];
    if (type == 0 || type == '.' || (type & 0x7F) == 0x05) type = 0x41;
    if (bytes[at + 11] == 0x0F) bytes[at + 11] = 0x20;
    if (bytes[at + 20] <= 3 && bytes[at + 21] == 0) bytes[at + 21] = 1;
  }
  return bytes;
}

void SetFirstCluster(std::vector<uint8_t>& c, size_t at, uint32_t first) {
  c[at + 20] = static_cast<uint8_t>(first >> 16), c[at + 21] = static_cast<uint8_t>(first >> 24);
  c[at + 26] = static_cast<uint8_t>(first), c[at + 27] = static_cast<uint8_t>(first >> 8);
}

TEST(ScanSlots, FatStopsAtEverySlotASearchReadsAndNowhereElse) {
  for (size_t size : {512u, 4096u, 4096u + 96u}) {
    const size_t end = size / 32 * 32;
    EXPECT_EQ(NextFatScanSlot(Noise(size, 1), 0, kLastCluster), end);
    for (size_t slot = 0; slot < size / 32; ++slot) {
      const size_t at = slot * 32;
      for (int kind = 0; kind < 6; ++kind) {
        std::vector<uint8_t> c = Noise(size, static_cast<uint32_t>(slot));
        bool read = true;
        switch (kind) {
          case 0: c[at] = 0; break;
          case 1: c[at] = '.'; break;
          case 2: c[at + 11] = 0x0F; break;
          case 3: SetFirstCluster(c, at, kLastCluster); break;
          case 4: SetFirstCluster(c, at, 2); break;
          // Its high half passes the group's test, the whole number not.
          case 5: SetFirstCluster(c, at, kLastCluster + 1), read = false; break;
        }
        const size_t expected = read ? at : end;
        EXPECT_EQ(NextFatScanSlot(c, 0, kLastCluster), expected) << size << " slot " << slot << " kind " << kind;
        EXPECT_EQ(NextFatScanSlot(c, at, kLastCluster), expected);
        if (at + 32 < end) {
          EXPECT_EQ(NextFatScanSlot(c, at + 32, kLastCluster), end);
        }
      }
    }
  }
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
