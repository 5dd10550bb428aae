#include "app/visible_text.h"

#include <gtest/gtest.h>

namespace vellum::app {
namespace {

// Nothing a terminal acts on gets through; ordinary names are untouched.
TEST(VisibleText, ControlCharactersAndBrokenBytesAreShownNotSent) {
  EXPECT_EQ(VisibleText("a\tb\rc\nd"), "a\\tb\\rc\\nd");
  EXPECT_EQ(VisibleText("\x1B]0;owned\x07\x1B[2J"), "^[]0;owned^G^[[2J");
  EXPECT_EQ(VisibleText(std::string("x\x01\x7F", 3)), "x^A^?");
  EXPECT_EQ(VisibleText("\xC2\x9B" "31m"), "\xEF\xBF\xBD" "31m");  // C1 CSI
  EXPECT_EQ(VisibleText("\xFF\xE3\x81"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(VisibleText("写真 1.JPG"), "写真 1.JPG");
  EXPECT_EQ(VisibleText("café\u00A0.txt"), "café\u00A0.txt");
}

}  // namespace
}  // namespace vellum::app
