// The main window at home on a desktop: its smallest size, the drive box,
// the title, the line under the list and the cluster-range dialog's limits.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/cluster_range.h"
#include "ui/cluster_dlg.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "person.h"
#include "ui_support.h"

namespace vellum::ui {
namespace {

using namespace vellum::ui::testing;

// Every pair of visible controls in the window's client area that overlap.
std::vector<std::string> Overlaps(const MainDialog& dialog) {
  std::vector<QWidget*> controls;
  for (int id : {kListId, kDriveLabelId, kDriveBoxControlId, kFilterLabelId, kFilterEditId, kSearchButtonId,
                 kInUseCheckId, kInUseLine1Id, kInUseLine2Id, kZeroSizeCheckId, kZeroSizeLine1Id,
                 kZeroSizeLine2Id, kAnalyseCheckId, kAnalyseLabelId, kCountLabelId, kFoundCountId,
                 kRestoreButtonId, kExitButtonId, kLogoId})
    controls.push_back(dialog.Control(id));
  std::vector<std::string> overlaps;
  for (size_t i = 0; i < controls.size(); ++i)
    for (size_t j = i + 1; j < controls.size(); ++j)
      if (controls[i]->geometry().intersects(controls[j]->geometry()))
        overlaps.push_back(controls[i]->objectName().toStdString() + " and " + controls[j]->objectName().toStdString());
  return overlaps;
}

TEST(WindowFit, NoSizeTheWindowCanTakeLetsControlsOverlap) {
  MainDialog dialog(ImageDrives({Image("fat16.img")}), 0);
  dialog.show();
  EXPECT_EQ(Overlaps(dialog), std::vector<std::string>{});
  dialog.resize(200, 150);  // as small as a person could drag it
  EXPECT_GE(dialog.width(), dialog.minimumWidth());
  EXPECT_GE(dialog.height(), dialog.minimumHeight());
  EXPECT_EQ(Overlaps(dialog), std::vector<std::string>{});
  EXPECT_GT(dialog.Control(kListId)->width(), 200);  // room for a name and a folder
}

TEST(WindowFit, TheDriveListIsAsWideAsItsLongestEntryAndTheBoxTellsItAll) {
  MainDialog dialog(ImageDrives({Image("fat16.img")}), 0);
  Person person(dialog);
  dialog.show();
  // An image opened from the menu, under a name as long as a person gives one.
  QTemporaryDir folder;
  const QString image = folder.filePath(QStringLiteral("camera-card-2024-summer-holiday-backup.img"));
  ASSERT_TRUE(QFile::link(QString::fromStdString(Image("exfat.img")), image));
  person.WillChoosePath(image);
  person.Choose(kOpenImageCommand);
  ASSERT_TRUE(person.Done());
  auto* box = static_cast<QComboBox*>(dialog.Control(kDriveBoxControlId));
  ASSERT_EQ(box->currentIndex(), 1);
  int widest = 0;
  for (int i = 0; i < box->count(); ++i) widest = std::max(widest, box->fontMetrics().horizontalAdvance(box->itemText(i)));
  ASSERT_GT(widest, box->width());  // the entries do not fit the closed box
  QTest::mouseClick(box, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([box] { return box->view()->isVisible(); }, 2000));
  EXPECT_GE(box->view()->viewport()->width(), widest);
  box->hidePopup();
  EXPECT_TRUE(box->toolTip().startsWith(box->currentText())) << box->toolTip().toStdString();
  EXPECT_TRUE(box->toolTip().contains(image));
}

TEST(WindowFit, TheTitleNamesTheOpenImage) {
  MainDialog dialog(ImageDrives({Image("fat12.img"), Image("fat16.img")}), 1);
  Person person(dialog);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(kMainCaption));
  person.WillAnswer(QMessageBox::No);
  person.Click(kSearchButtonId);
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(kMainCaption) + QStringLiteral(" — fat16.img:/ (") +
                                      QString::fromStdString(Image("fat16.img")) + ')');
}

TEST(WindowFit, AnExfatSearchOffersTheThoroughSearchUnderTheList) {
  MainDialog dialog(ImageDrives({Image("exfat-live.img")}), 0);
  Person person(dialog);
  dialog.show();
  person.WillAnswer(QMessageBox::No);  // no free-cluster scan; anything after keeps its default
  person.Click(kSearchButtonId);
  auto* status = dialog.findChild<QLabel*>(QStringLiteral("statusText"));
  auto* again = dialog.findChild<QPushButton*>(QStringLiteral("statusAction"));
  EXPECT_EQ(status->text(), QString::fromUtf8(kLiveFoldersStatus));
  ASSERT_TRUE(again->isVisible());
  const int before = person.Rows();
  person.WillAnswer(QMessageBox::No);
  QTest::mouseClick(again, Qt::LeftButton);
  EXPECT_TRUE(dialog.Command(kThoroughCommand)->isChecked());
  EXPECT_GT(person.Rows(), before);
  EXPECT_TRUE(status->text().isEmpty());
  EXPECT_FALSE(again->isVisible());
}

TEST(WindowFit, TheRangeDialogShowsTheVolumesClusters) {
  MainDialog dialog(ImageDrives({Image("fat16.img")}), 0);
  Person person(dialog);
  dialog.show();
  QString limits;
  person.WillAnswer(QMessageBox::Yes);
  person.Will({QStringLiteral("cluster range"),
               [](QWidget* w) { return w->objectName() == QString::number(app::kClusterRangeDialogId); },
               [&limits](QWidget* w) {
                 limits = w->findChild<QLabel*>(QString::number(kClusterLimitsLabelId))->text();
                 QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("2")), Qt::LeftButton);
               }});
  person.Choose(kFullScanCommand);
  EXPECT_TRUE(person.Done()) << person.Waiting().toStdString();
  EXPECT_TRUE(limits.contains(QStringLiteral("2 ～ 16344"))) << limits.toStdString();
}

}  // namespace
}  // namespace vellum::ui
