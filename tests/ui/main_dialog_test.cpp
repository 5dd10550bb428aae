#include "ui/main_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "support/scripted_messages.h"
#include "ui/control_ids.h"
#include "ui/picture_button.h"
#include "ui/result_table.h"
#include "ui/result_table_model.h"
#include "ui_support.h"

namespace vellum::ui {
namespace {

using namespace vellum::ui::testing;

struct Window {
  vellum::testing::ScriptedMessages messages;
  ScriptedPaths paths;
  std::vector<QUrl> opened;
  MainDialog dialog;

  explicit Window(const std::vector<std::string>& images, int32_t select = -1)
      : dialog(ImageDrives(images), select) {
    dialog.SetMessages(&messages);
    dialog.SetPathAsker(&paths);
    dialog.SetUrlOpener([this](const QUrl& url) { opened.push_back(url); });
  }
};

TEST(MainDialogStartUp, CaptionOptionsAndDriveBox) {
  Window w({Image("fat12.img"), Image("ntfs-512.img")}, 0);
  EXPECT_EQ(w.dialog.windowTitle(), QStringLiteral("Vellum Version 13.3.10"));
  EXPECT_TRUE(Find<QCheckBox>(w.dialog, kAnalyseCheckId)->isChecked());
  EXPECT_FALSE(Find<QCheckBox>(w.dialog, kInUseCheckId)->isChecked());
  EXPECT_FALSE(Find<QCheckBox>(w.dialog, kZeroSizeCheckId)->isChecked());
  EXPECT_TRUE(Find<QLineEdit>(w.dialog, kFilterEditId)->text().isEmpty());
  EXPECT_TRUE(Find<QLabel>(w.dialog, kFoundCountId)->text().isEmpty());
  auto* box = Find<QComboBox>(w.dialog, kDriveBoxControlId);
  ASSERT_EQ(box->count(), 2);
  EXPECT_EQ(box->currentIndex(), 0);
  EXPECT_EQ(w.dialog.Model().columnCount(), 5);
  EXPECT_EQ(w.dialog.Model().rowCount(), 0);

  // Selecting NTFS turns the in-use option off with its two labels; FAT on again.
  box->setCurrentIndex(1);
  for (const int id : {kInUseCheckId, kInUseLine1Id, kInUseLine2Id})
    EXPECT_FALSE(w.dialog.Control(id)->isEnabled()) << id;
  box->setCurrentIndex(0);
  for (const int id : {kInUseCheckId, kInUseLine1Id, kInUseLine2Id})
    EXPECT_TRUE(w.dialog.Control(id)->isEnabled()) << id;
}

TEST(MainDialogStartUp, NtfsSelectedAtStartDisablesTheInUseOption) {
  Window w({Image("fat12.img"), Image("ntfs-512.img")}, 1);
  EXPECT_FALSE(w.dialog.Control(kInUseCheckId)->isEnabled());
}

}  // namespace
}  // namespace vellum::ui
