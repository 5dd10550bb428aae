#include "fat/scan_slots.h"

namespace vellum::fat {

namespace {

constexpr size_t kSlotBytes = 32;
// Slots tested together: one test of the group rules all eight out, and only
// a group with a slot to read is looked at slot by slot.
constexpr size_t kGroupSlots = 8;

// `s` points at a whole slot. Written to compile without branches.
bool FatSlotToRead(const uint8_t* s, uint64_t lastCluster) {
  const uint64_t first = (uint64_t{s[20]} | uint64_t{s[21]} << 8) << 16 | s[26] | uint64_t{s[27]} << 8;
  return (s[0] == 0) | (s[0] == '.') | (s[11] == 0x0F) | (first <= lastCluster);
}

bool ExfatSetSlot(const uint8_t* s) { return (s[0] == 0) | ((s[0] & 0x7F) == 0x05); }

// The first slot from `at` that `test` picks; `end` when none.
template <typename Test>
size_t NextSlot(ByteView cluster, size_t at, Test test) {
  const size_t end = cluster.size() / kSlotBytes * kSlotBytes;
  const uint8_t* bytes = cluster.data();
  for (; at + kGroupSlots * kSlotBytes <= end; at += kGroupSlots * kSlotBytes) {
    bool any = false;
    for (size_t i = 0; i < kGroupSlots; ++i) any |= test(bytes + at + i * kSlotBytes);
    if (any) break;
  }
  while (at < end && !test(bytes + at)) at += kSlotBytes;
  return at < end ? at : end;
}

}  // namespace

size_t NextFatScanSlot(ByteView cluster, size_t at, uint64_t lastCluster) {
  return NextSlot(cluster, at, [lastCluster](const uint8_t* s) { return FatSlotToRead(s, lastCluster); });
}

size_t NextExfatSetSlot(ByteView cluster, size_t at) { return NextSlot(cluster, at, ExfatSetSlot); }

}  // namespace vellum::fat
