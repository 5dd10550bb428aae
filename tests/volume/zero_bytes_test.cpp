// The whole-cluster zero test stands before the per-slot tests of the
// cluster scans, so one set bit anywhere (in any line, in the tail after the
// last whole line) must make it fail.
#include "volume/zero_bytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace vellum {
namespace {

TEST(ZeroBytes, OneSetBitAnywhereIsSeen) {
  for (size_t size : {0u, 1u, 63u, 64u, 65u, 512u, 4096u, 4096u + 31u}) {
    std::vector<uint8_t> bytes(size);
    EXPECT_TRUE(AllZero(bytes)) << size;
    for (size_t at = 0; at < size; ++at) {
      for (uint8_t bit : {0x01, 0x80}) {
        bytes[at] = bit;
        EXPECT_FALSE(AllZero(bytes)) << size << " at " << at;
        bytes[at] = 0;
      }
    }
  }
  // A view of the middle of a buffer reads only its own bytes.
  std::vector<uint8_t> framed(130, 0xFF);
  std::fill(framed.begin() + 1, framed.end() - 1, uint8_t{0});
  EXPECT_TRUE(AllZero(ByteView(framed).subspan(1, 128)));
  EXPECT_FALSE(AllZero(ByteView(framed).subspan(0, 128)));
}

}  // namespace
}  // namespace vellum
