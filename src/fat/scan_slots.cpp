#include "fat/scan_slots.h"

#include <algorithm>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VELLUM_SCAN_SLOTS_SSE2 1
#endif

namespace vellum::fat {

namespace {

constexpr size_t kSlotBytes = 32;
// Slots tested together: one test of the group rules all eight out, and only
// a group with a slot to read is looked at slot by slot.
constexpr size_t kGroupSlots = 8;
constexpr size_t kGroupBytes = kGroupSlots * kSlotBytes;

// The exact tests, on one whole slot at `s`.
bool FatSlotToRead(const uint8_t* s, uint64_t lastCluster) {
  const uint64_t first = (uint64_t{s[20]} | uint64_t{s[21]} << 8) << 16 | s[26] | uint64_t{s[27]} << 8;
  return (s[0] == 0) | (s[0] == '.') | (s[11] == 0x0F) | (first <= lastCluster);
}

bool ExfatSetSlot(const uint8_t* s) { return (s[0] == 0) | ((s[0] & 0x7F) == 0x05); }

#ifdef VELLUM_SCAN_SLOTS_SSE2
__m128i Load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Whether some slot of the group at `g` may be one to read: the same bytes
// compared in all eight slots at once, the results of each lane gathered
// across the slots. It may say yes where the exact test says no (it looks
// at the high half of the cluster number only), never the other way round.
bool FatGroupMayHold(const uint8_t* g, uint16_t highLimit) {
  const __m128i marks = _mm_setr_epi8(0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0x0F, 1, 1, 1, 1);
  const __m128i dot = _mm_set1_epi8('.');
  const __m128i limit = _mm_set1_epi16(static_cast<short>(highLimit));
  const __m128i zero = _mm_setzero_si128();
  __m128i head = zero, tail = zero;
  for (size_t i = 0; i < kGroupSlots; ++i) {
    const __m128i a = Load16(g + i * kSlotBytes);
    const __m128i b = Load16(g + i * kSlotBytes + 16);
    head = _mm_or_si128(head, _mm_or_si128(_mm_cmpeq_epi8(a, marks), _mm_cmpeq_epi8(a, dot)));
    // Bytes 20 and 21, the cluster number's high half, are the third word of b.
    tail = _mm_or_si128(tail, _mm_cmpeq_epi16(_mm_subs_epu16(b, limit), zero));
  }
  return ((_mm_movemask_epi8(head) & 0x0801) | (_mm_movemask_epi8(tail) & 0x0010)) != 0;
}

bool ExfatGroupMayHold(const uint8_t* g) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i low7 = _mm_set1_epi8(0x7F);
  const __m128i file = _mm_set1_epi8(0x05);
  __m128i any = zero;
  for (size_t i = 0; i < kGroupSlots; ++i) {
    const __m128i a = Load16(g + i * kSlotBytes);
    any = _mm_or_si128(any, _mm_or_si128(_mm_cmpeq_epi8(a, zero), _mm_cmpeq_epi8(_mm_and_si128(a, low7), file)));
  }
  return (_mm_movemask_epi8(any) & 1) != 0;
}
#else
bool FatGroupMayHold(const uint8_t* g, uint16_t highLimit) {
  bool any = false;
  for (size_t i = 0; i < kGroupSlots; ++i) any |= FatSlotToRead(g + i * kSlotBytes, uint64_t{highLimit} << 16 | 0xFFFF);
  return any;
}

bool ExfatGroupMayHold(const uint8_t* g) {
  bool any = false;
  for (size_t i = 0; i < kGroupSlots; ++i) any |= ExfatSetSlot(g + i * kSlotBytes);
  return any;
}
#endif

// The first slot from `at` that `test` picks, groups that `group` rules out
// passed over whole; the end of the whole slots when none.
template <typename Group, typename Test>
size_t NextSlot(ByteView cluster, size_t at, Group group, Test test) {
  const size_t end = cluster.size() / kSlotBytes * kSlotBytes;
  const uint8_t* bytes = cluster.data();
  for (; at + kGroupBytes <= end; at += kGroupBytes)
    if (group(bytes + at)) break;
  while (at < end && !test(bytes + at)) at += kSlotBytes;
  return std::min(at, end);
}

}  // namespace

size_t NextFatScanSlot(ByteView cluster, size_t at, uint64_t lastCluster) {
  // A cluster number's high half above this one puts it past lastCluster.
  const uint16_t highLimit = static_cast<uint16_t>(std::min<uint64_t>(lastCluster >> 16, 0xFFFF));
  return NextSlot(
      cluster, at, [highLimit](const uint8_t* g) { return FatGroupMayHold(g, highLimit); },
      [lastCluster](const uint8_t* s) { return FatSlotToRead(s, lastCluster); });
}

size_t NextExfatSetSlot(ByteView cluster, size_t at) {
  return NextSlot(cluster, at, ExfatGroupMayHold, ExfatSetSlot);
}

}  // namespace vellum::fat
