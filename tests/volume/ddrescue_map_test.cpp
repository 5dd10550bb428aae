// ddrescue mapfiles: the areas not rescued, and the mapfiles refused with
// the line they fail on.
#include <gtest/gtest.h>

#include "volume/ddrescue_map.h"
#include "volume/unreadable_areas_device.h"

namespace vellum::volume {
namespace {

constexpr std::string_view kRescued =
    "# Mapfile. Created by GNU ddrescue version 1.27\n"
    "# Command line: ddrescue /dev/sdb card.img card.map\n"
    "# current_pos  current_status  current_pass\n"
    "0x00011000     +               1\n"
    "#      pos        size  status\n"
    "0x00000000  0x00010000  +\n"
    "0x00010000  0x00000200  -\n"
    "0x00010200  0x00000E00  /\n"
    "0x00011000  0x00001000  *\r\n"
    "0x00012000  0x0000E000  +\n"
    "0x00020000  0x00010000  ?\n";

TEST(DdrescueMap, EveryAreaNotFinishedIsUnrescued) {
  const DdrescueMap map = ParseDdrescueMap(kRescued, 0x40000);
  ASSERT_TRUE(map.ok) << map.line << ": " << map.error;
  // Neighbouring areas join; what no block covers (past 0x30000) counts too.
  EXPECT_EQ(map.unfinished, (std::vector<ByteRange>{{0x10000, 0x12000}, {0x20000, 0x40000}}));
  const DdrescueMap whole = ParseDdrescueMap("0 +\n0 4096 +\n", 4096);
  ASSERT_TRUE(whole.ok);
  EXPECT_TRUE(whole.unfinished.empty());
  // Decimal and octal positions are read as ddrescue reads them.
  const DdrescueMap numbers = ParseDdrescueMap("0 ?\n0 512 +\n512 01000 -\n", 1024);
  ASSERT_TRUE(numbers.ok) << numbers.error;
  EXPECT_EQ(numbers.unfinished, (std::vector<ByteRange>{{512, 1024}}));
}

TEST(DdrescueMap, AMapThatDoesNotFitIsRefusedWithItsLine) {
  struct Case {
    std::string_view text;
    uint64_t imageSize;
    size_t line;
  };
  const Case cases[] = {
      {"0 +\n0 4096 +\n2048 4096 -\n", 1 << 20, 3},           // overlapping blocks
      {"0 +\n0 4096 +\n4096 8192 -\n", 8192, 3},              // beyond the image
      {"# c\n0 +\n0 4096 x\n", 8192, 3},                      // no such status
      {"0 +\n0 4096\n", 8192, 2},                              // a field missing
      {"0 +\n0xZZ 4096 +\n", 8192, 2},                         // not a number
      {"0 +\n0xFFFFFFFFFFFFFFFF 2 +\n", UINT64_MAX, 2},        // an end past 2^64
      {"0 +\n99999999999999999999999 1 +\n", UINT64_MAX, 2},   // a number past 2^64
      {"hello\n", 8192, 1},                                    // no status line
      {"# only comments\n", 8192, 1},                          // no mapfile at all
  };
  for (const Case& c : cases) {
    const DdrescueMap map = ParseDdrescueMap(c.text, c.imageSize);
    EXPECT_FALSE(map.ok) << c.text;
    EXPECT_EQ(map.line, c.line) << c.text;
    EXPECT_FALSE(map.error.empty());
    EXPECT_TRUE(map.unfinished.empty());
  }
}

// The device over the image fails exactly the reads that touch an area, with
// the area's bytes zero, and hands no view of them out.
TEST(UnreadableAreasDevice, FailsReadsTouchingAnArea) {
  std::vector<uint8_t> bytes(8192, 0xAB);
  UnreadableAreasDevice device(std::make_unique<platform::MemoryBlockDevice>(bytes), {{1024, 1536}});
  std::vector<uint8_t> out(1024);
  EXPECT_TRUE(device.Read(0, out));
  EXPECT_FALSE(device.Read(512, out));
  EXPECT_EQ(out[511], 0xAB);
  EXPECT_EQ(out[512], 0);
  EXPECT_EQ(out[1023], 0);
  EXPECT_NE(device.LastError(), "");
  EXPECT_TRUE(device.View(1000, 100, 0).empty());
  EXPECT_EQ(AreasInWindow({{100, 200}, {1000, 3000}}, 500, 1000), (std::vector<ByteRange>{{500, 1000}}));
}

}  // namespace
}  // namespace vellum::volume
