#include "fat/scan_slots.h"

#include <algorithm>

#include "volume/exfat_layout.h"
#include "volume/fat_layout.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VELLUM_SCAN_SLOTS_SSE2 1
#endif

namespace vellum::fat {

namespace {

// A FAT entry and an exFAT entry are the same size.
constexpr size_t kSlotBytes = fat_layout::kEntryBytes;
static_assert(kSlotBytes == exfat_layout::kEntryBytes);
// Slots tested together: one test of the group rules all eight out, and only
// a group with a slot to read is looked at slot by slot.
constexpr size_t kGroupSlots = 8;
constexpr size_t kGroupBytes = kGroupSlots * kSlotBytes;

// The exact test, on one whole slot at `s`.
bool SetSlot(const uint8_t* s) {
  const uint8_t type = s[exfat_layout::kEntryType.offset];
  return (type == 0) | ((type & static_cast<uint8_t>(~exfat_layout::kInUseBit)) == exfat_layout::kFileDeleted);
}

#ifdef VELLUM_SCAN_SLOTS_SSE2
// The first bytes of all eight slots compared at once, the results gathered
// across the slots; only the first lane counts.
bool GroupMayHold(const uint8_t* g) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i low7 = _mm_set1_epi8(0x7F);
  const __m128i file = _mm_set1_epi8(exfat_layout::kFileDeleted);
  __m128i any = zero;
  for (size_t i = 0; i < kGroupSlots; ++i) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + i * kSlotBytes));
    any = _mm_or_si128(any, _mm_or_si128(_mm_cmpeq_epi8(a, zero), _mm_cmpeq_epi8(_mm_and_si128(a, low7), file)));
  }
  return (_mm_movemask_epi8(any) & 1) != 0;
}
#else
bool GroupMayHold(const uint8_t* g) {
  bool any = false;
  for (size_t i = 0; i < kGroupSlots; ++i) any |= SetSlot(g + i * kSlotBytes);
  return any;
}
#endif

}  // namespace

size_t NextFatSlotToRead(ByteView cluster, size_t at, uint64_t lastCluster) {
  const size_t end = cluster.size() / kSlotBytes * kSlotBytes;
  const uint8_t* bytes = cluster.data();
  const uint64_t highLimit = lastCluster >> 16;
  for (; at < end; at += kSlotBytes) {
    const uint8_t* s = bytes + at;
    using namespace fat_layout;
    const uint64_t low = kFirstClusterLow.offset, highAt = kFirstClusterHigh.offset;
    const uint8_t first = s[kNameFirstByte.offset];
    const bool longName = s[kAttributes.offset] == kAttrLongName && s[low] == 0 && s[low + 1] == 0;
    const uint64_t high = uint64_t{s[highAt]} | uint64_t{s[highAt + 1]} << 8;
    if ((first == kEndMark) | (first == '.') | longName | (high <= highLimit)) break;
  }
  return std::min(at, end);
}

size_t NextExfatSetSlot(ByteView cluster, size_t at) {
  const size_t end = cluster.size() / kSlotBytes * kSlotBytes;
  const uint8_t* bytes = cluster.data();
  for (; at + kGroupBytes <= end; at += kGroupBytes)
    if (GroupMayHold(bytes + at)) break;
  while (at < end && !SetSlot(bytes + at)) at += kSlotBytes;
  return std::min(at, end);
}

}  // namespace vellum::fat
