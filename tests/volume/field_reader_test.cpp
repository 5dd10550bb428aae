#include <gtest/gtest.h>

#include <vector>

#include "ntfs/data_runs.h"
#include "volume/le.h"

namespace vellum {
namespace {

// The first read past the end sticks: later reads that would fit give 0 too,
// so a parser that checks once at the end never mixes good and missing fields.
TEST(FieldReader, TheFirstShortReadSticksAndNamesItsOffset) {
  const std::vector<uint8_t> bytes{0x01, 0x02, 0x03, 0x04, 0xFF, 0x80};
  FieldReader r(bytes);
  EXPECT_EQ(r.U32(0), 0x04030201u);
  EXPECT_EQ(r.Signed(4, 2), static_cast<int64_t>(static_cast<int16_t>(0x80FF)));
  EXPECT_TRUE(r.Ok());
  EXPECT_EQ(r.U32(4), 0u);  // two bytes short
  EXPECT_FALSE(r.Ok());
  EXPECT_EQ(r.FailedAt(), 4u);
  EXPECT_EQ(r.U8(0), 0u);
  EXPECT_TRUE(r.Bytes(0, 2).empty());
  EXPECT_EQ(r.FailedAt(), 4u);

  // Offsets near the top of the range do not wrap into the buffer.
  FieldReader far(bytes);
  EXPECT_EQ(far.U64(UINT64_MAX - 3), 0u);
  EXPECT_FALSE(far.Require(0, 1));
  FieldReader wide(bytes);
  EXPECT_EQ(wide.Unsigned(0, 9), 0u);
  EXPECT_FALSE(wide.Ok());
}

// A run whose length or offset field is cut off by the end of the list ends
// the list; the runs before it stand.
TEST(FieldReader, ARunCutOffByTheEndOfItsListEndsTheList) {
  const std::vector<uint8_t> list{0x21, 0x10, 0x00, 0x01, 0x31, 0x08, 0x00};
  ntfs::RunListReader reader(list, 0);
  ntfs::Run run;
  ASSERT_TRUE(reader.Next(run));
  EXPECT_EQ(run.length, 0x10u);
  EXPECT_EQ(run.lcn, 0x100u);
  EXPECT_FALSE(reader.Next(run));
  EXPECT_FALSE(reader.Next(run));
}

}  // namespace
}  // namespace vellum
