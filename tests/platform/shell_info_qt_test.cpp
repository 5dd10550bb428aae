#include "platform/qt/shell_info_qt.h"

#include <gtest/gtest.h>

namespace vellum::platform {
namespace {

TEST(QtShellInfo, TypesComeByExtensionAndIconsStayPut) {
  QtShellInfo shell;
  const ShellFileInfo text = shell.Lookup(".txt", false);
  EXPECT_FALSE(text.typeName.empty());
  // Short names are stored upper-case; content rows pass the bare extension.
  EXPECT_EQ(shell.Lookup(".TXT", false).typeName, text.typeName);
  EXPECT_EQ(shell.Lookup("txt", false).typeName, text.typeName);
  EXPECT_NE(shell.Lookup(".jpg", false).typeName, text.typeName);
  // A path-like or unknown "extension" from a damaged disk still gets a type.
  EXPECT_FALSE(shell.Lookup(".no-such-type-here", false).typeName.empty());
  EXPECT_FALSE(shell.Lookup("../../etc/passwd", false).typeName.empty());
  EXPECT_FALSE(shell.Lookup("", false).typeName.empty());

  const ShellFileInfo folder = shell.Lookup("*", true);
  EXPECT_FALSE(folder.typeName.empty());
  EXPECT_NE(folder.typeName, shell.Lookup(".txt", false).typeName);
  const int jpeg = shell.Lookup(".jpg", false).iconIndex;
  EXPECT_EQ(shell.Lookup(".JPEG", false).iconIndex, jpeg);
  EXPECT_EQ(shell.Lookup("*", true).iconIndex, folder.iconIndex);
  EXPECT_NE(jpeg, folder.iconIndex);
  ASSERT_LT(static_cast<size_t>(folder.iconIndex), shell.Icons().size());
  EXPECT_FALSE(shell.Icons()[folder.iconIndex].iconName.empty());
}

}  // namespace
}  // namespace vellum::platform
