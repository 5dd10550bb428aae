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

// Old file data as a FAT scan meets it: no slot is an end mark, a dot entry
// or a long-name slot, and every first cluster's high half lies past the
// volume's (so every short entry fails the scan's first test).
std::vector<uint8_t> FatNoise(size_t size, uint32_t seed, uint64_t lastCluster) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  for (size_t at = 0; at + 32 <= size; at += 32) {
    uint8_t* s = bytes.data() + at;
    if (s[0] == 0 || s[0] == '.') s[0] = 'Q';
    if (s[11] == 0x0F) s[11] = 0x20;
    if (static_cast<uint64_t>(s[20] | s[21] << 8) <= (lastCluster >> 16)) s[21] = 0xF0;
  }
  return bytes;
}

TEST(ScanSlots, FatStopsAtEachKindOfSlotTheScanReads) {
  constexpr uint64_t kLast = 0x3FFFF;  // a high half of at most 3
  for (size_t size : {512u, 4096u, 4096u + 96u}) {
    const size_t end = size / 32 * 32;
    EXPECT_EQ(NextFatSlotToRead(FatNoise(size, 9, kLast), 0, kLast), end) << size;
    for (size_t slot = 0; slot < size / 32; ++slot) {
      const size_t at = slot * 32;
      const auto found = [&](auto plant, size_t from) {
        std::vector<uint8_t> c = FatNoise(size, static_cast<uint32_t>(slot), kLast);
        plant(c.data() + at);
        return NextFatSlotToRead(c, from, kLast);
      };
      const auto endMark = [](uint8_t* s) { s[0] = 0; };
      const auto dot = [](uint8_t* s) { s[0] = '.'; };
      const auto longName = [](uint8_t* s) { s[11] = 0x0F, s[26] = 0, s[27] = 0; };
      const auto inVolume = [](uint8_t* s) { s[20] = 3, s[21] = 0; };
      EXPECT_EQ(found(endMark, 0), at) << "end mark, slot " << slot;
      EXPECT_EQ(found(dot, 0), at) << "dot, slot " << slot;
      EXPECT_EQ(found(longName, 0), at) << "long name, slot " << slot;
      EXPECT_EQ(found(inVolume, 0), at) << "cluster in the volume, slot " << slot;
      EXPECT_EQ(found(inVolume, at), at) << slot;
      EXPECT_EQ(found(inVolume, at + 32), end) << slot;
      // A long-name attribute with a cluster number set is a short entry,
      // and one whose high half lies past the volume is passed over as such.
      EXPECT_EQ(found([](uint8_t* s) { s[11] = 0x0F, s[26] = 1; }, 0), end) << slot;
      EXPECT_EQ(found([](uint8_t* s) { s[20] = 4, s[21] = 0; }, 0), end) << slot;
    }
  }
  // The bytes after the last whole slot are no slot.
  std::vector<uint8_t> c = FatNoise(4096 + 31, 3, kLast);
  c[4096] = 0;
  EXPECT_EQ(NextFatSlotToRead(c, 0, kLast), 4096u);
  EXPECT_EQ(NextFatSlotToRead({}, 0, kLast), 0u);
}

}  // namespace
}  // namespace vellum::fat
