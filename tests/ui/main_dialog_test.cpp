#include "ui/main_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QFileInfo>
#include <QPushButton>

#include <filesystem>
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

TEST(MainDialogStartUp, OnTheLegacyPathSelectingADriveChangesNothing) {
  const std::string disk = Image("disk-mbr.img");
  Window w({disk}, 2);  // partition 3, NTFS
  ASSERT_FALSE(w.dialog.Control(kInUseCheckId)->isEnabled());
  w.paths.answers = {disk};
  w.dialog.Command(kBiosDiskCommand)->trigger();
  ASSERT_EQ(w.dialog.State().isNt, 0);
  // The option stands as the legacy path starts it, whichever drive is chosen.
  auto* box = Find<QComboBox>(w.dialog, kDriveBoxControlId);
  for (const int index : {0, 2, 3, 2}) {
    box->setCurrentIndex(index);
    for (const int id : {kInUseCheckId, kInUseLine1Id, kInUseLine2Id})
      EXPECT_TRUE(w.dialog.Control(id)->isEnabled()) << index << " " << id;
  }
}

// Each of x, y, width and height is converted on its own, rounding halves up.
QRect Expected(const MainDialog& d, int x, int y, int w, int h) {
  const DialogBaseUnits b = d.BaseUnits();
  const auto across = [&](int v) { return (v * b.x + 2) / 4; };
  const auto down = [&](int v) { return (v * b.y + 4) / 8; };
  return {across(x), down(y), across(w), down(h)};
}

TEST(MainDialogControls, TextsKindsAndRectangles) {
  Window w({Image("fat12.img")});
  MainDialog& d = w.dialog;
  ASSERT_GT(d.BaseUnits().x, 0);
  EXPECT_EQ(d.Control(kListId)->geometry(), Expected(d, 7, 7, 281, 256));
  EXPECT_EQ(d.Control(kFilterEditId)->geometry(), Expected(d, 297, 45, 115, 15));
  EXPECT_EQ(d.Control(kInUseLine2Id)->geometry(), Expected(d, 316, 98, 62, 10));
  EXPECT_EQ(d.Control(kClearingNoticeId)->geometry(), Expected(d, 2, 130, 298, 20));
  EXPECT_EQ(d.Control(kAnalyseCheckId)->geometry(), Expected(d, 307, 137, 8, 10));
  const QRect box = d.Control(kDriveBoxControlId)->geometry();
  EXPECT_EQ(box.topLeft(), Expected(d, 297, 17, 115, 66).topLeft());
  EXPECT_EQ(box.width(), Expected(d, 297, 17, 115, 66).width());
  // Picture buttons and the logo take their bitmaps' sizes at the template's place.
  EXPECT_EQ(d.Control(kSearchButtonId)->geometry(),
            QRect(Expected(d, 319, 67, 0, 0).topLeft(), QSize(124, 22)));
  EXPECT_EQ(d.Control(kLogoId)->geometry(), QRect(Expected(d, 339, 221, 0, 0).topLeft(), QSize(58, 59)));
  EXPECT_EQ(d.Control(kListId)->parentWidget()->size(), Expected(d, 0, 0, 420, 270).size());

  EXPECT_EQ(Find<QLabel>(d, kFilterLabelId)->text(), QStringLiteral("ファイル名に含まれる文字列(&T)"));
  EXPECT_EQ(Find<QLabel>(d, kInUseLine1Id)->text(), QStringLiteral("クラスタが既に使用されている"));
  EXPECT_EQ(Find<QCheckBox>(d, kZeroSizeCheckId)->text(), QStringLiteral("&Z"));
  EXPECT_EQ(Find<QPushButton>(d, kSearchButtonId)->text(), QStringLiteral("削除ファイル検索(&S)"));
  EXPECT_EQ(Find<QLabel>(d, kClearingNoticeId)->text().toStdString(), app::kClearingNotice);
  EXPECT_TRUE(Find<QLabel>(d, kClearingNoticeId)->isHidden());
  for (const int id : {kFullScanButtonId, kDeleteButtonId}) {
    EXPECT_TRUE(d.Control(id)->isHidden()) << id;
    EXPECT_FALSE(d.Control(id)->isEnabled()) << id;
  }
  EXPECT_TRUE(Find<PictureButton>(d, kSearchButtonId)->isDefault());
}

TEST(MainDialogControls, MenuCommandsAndRestoreWithoutRows) {
  Window w({Image("fat12.img")});
  EXPECT_EQ(w.dialog.Command(kSaveResultsCommand)->text(), QStringLiteral("検索結果の保存(&S)"));
  EXPECT_EQ(w.dialog.Command(kLoadResultsCommand)->text(), QStringLiteral("検索結果の読込み(&L)"));
  EXPECT_EQ(w.dialog.Command(kMakerPageCommand)->text(), QStringLiteral("オルバンデル(&H)"));
  for (const int id : {kFullScanCommand, kDeleteCommand}) EXPECT_TRUE(w.dialog.Command(id)->isEnabled()) << id;
  // Restore acts on the selected rows; with none it says so and asks nothing else.
  static_cast<QPushButton*>(w.dialog.Control(kRestoreButtonId))->click();
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0], kSelectRowsMessage);
  w.messages.shown.clear();

  w.dialog.Command(kMakerPageCommand)->trigger();
  ASSERT_EQ(w.opened.size(), 1u);
  EXPECT_TRUE(w.opened[0].isLocalFile());
  EXPECT_TRUE(w.opened[0].toLocalFile().endsWith(QStringLiteral("manual.html")));
  EXPECT_TRUE(QFileInfo::exists(w.opened[0].toLocalFile()));
  EXPECT_TRUE(w.messages.shown.empty());  // the maker's page is opened without a question
}

TEST(MainDialogLayout, ResizingMovesAndStretchesAsAnchored) {
  Window w({Image("fat12.img")});
  MainDialog& d = w.dialog;
  d.show();
  const QSize size0 = d.size();
  const QRect list0 = d.Control(kListId)->geometry();
  const QRect search0 = d.Control(kSearchButtonId)->geometry();
  const QRect notice0 = d.Control(kClearingNoticeId)->geometry();
  const QSize size1 = size0 + QSize(100, 60);
  d.resize(size1);
  QCoreApplication::processEvents();
  ASSERT_EQ(d.size(), size1);
  const double sx = double(size1.width()) / size0.width();
  const double sy = double(size1.height()) / size0.height();

  // The list keeps its top-left corner and grows with the window.
  EXPECT_EQ(d.Control(kListId)->geometry(), list0.adjusted(0, 0, 100, 60));
  // The right-hand column keeps its size and its distance from the right edge,
  // and spreads down in proportion.
  const QRect search = d.Control(kSearchButtonId)->geometry();
  EXPECT_EQ(search.size(), search0.size());
  EXPECT_EQ(search.x(), search0.x() + 100);
  EXPECT_EQ(search.y(), int(search0.y() * sy));
  // Controls without anchors scale, truncating each edge.
  const QRect notice = d.Control(kClearingNoticeId)->geometry();
  EXPECT_EQ(notice.x(), int(notice0.x() * sx));
  EXPECT_EQ(notice.x() + notice.width(), int((notice0.x() + notice0.width()) * sx));
  EXPECT_EQ(notice.y() + notice.height(), int((notice0.y() + notice0.height()) * sy));

  d.resize(size0);
  QCoreApplication::processEvents();
  EXPECT_EQ(d.Control(kListId)->geometry(), list0);
  EXPECT_EQ(d.Control(kSearchButtonId)->geometry(), search0);
}

TEST(MainDialogWindow, DraggingTheBackgroundMovesTheWindow) {
  Window w({Image("fat12.img")});
  w.dialog.show();
  QWidget* client = w.dialog.Control(kListId)->parentWidget();
  const QRect list = w.dialog.Control(kListId)->geometry();
  const QPoint background(list.right() + 4, list.bottom() - 4);
  ASSERT_EQ(client->childAt(background), nullptr);
  const QPoint before = w.dialog.pos();
  QTest::mousePress(client, Qt::LeftButton, {}, background);
  QTest::mouseMove(client, background + QPoint(30, 20));
  QTest::mouseRelease(client, Qt::LeftButton, {}, background + QPoint(30, 20));
  EXPECT_EQ(w.dialog.pos(), before + QPoint(30, 20));
}

TEST(MainDialogWindow, HoverEdgeComesAndGoes) {
  Window w({Image("fat12.img")});
  w.dialog.show();
  auto* search = Find<PictureButton>(w.dialog, kSearchButtonId);
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QCoreApplication::sendEvent(search, &enter);
  EXPECT_TRUE(search->HoverEdgeShown());
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(search, &leave);
  EXPECT_FALSE(search->HoverEdgeShown());
}

TEST(MainDialogWindow, BlueBehindLabelsAndCheckBoxesNotBehindEditOrList) {
  Window w({Image("fat12.img")});
  w.dialog.show();
  const QImage shot = w.dialog.grab().toImage();
  const auto colourAt = [&](int id, QPoint inside) {
    QWidget* c = w.dialog.Control(id);
    return shot.pixelColor(c->mapTo(&w.dialog, inside));
  };
  const QColor blue(206, 236, 252);
  // The far corner of a label's box holds no text.
  const QWidget* label = w.dialog.Control(kCountLabelId);
  EXPECT_EQ(colourAt(kCountLabelId, QPoint(label->width() - 1, label->height() - 1)), blue);
  EXPECT_EQ(colourAt(kInUseLine1Id, QPoint(0, 0)), blue);
  EXPECT_NE(colourAt(kFilterEditId, QPoint(8, 8)), blue);
  EXPECT_NE(colourAt(kListId, QPoint(40, 60)), blue);
}

TEST(MainDialogExit, ExitButtonAsksEscAndCloseBoxDoNot) {
  {
    Window w({Image("fat12.img")});
    w.dialog.show();
    // No scripted answer: the question's default, Yes, opens the guide.
    QTest::mouseClick(Find<PictureButton>(w.dialog, kExitButtonId), Qt::LeftButton);
    ASSERT_EQ(w.messages.shown.size(), 1u);
    EXPECT_EQ(w.messages.shown[0], kExitQuestion);
    EXPECT_EQ(w.messages.lastButtons, MessageButtons::YesNo);
    EXPECT_EQ(w.messages.lastIcon, MessageIcon::Question);
    EXPECT_EQ(w.opened.size(), 1u);
    EXPECT_FALSE(w.dialog.isVisible());
  }
  {
    Window w({Image("fat12.img")});
    w.messages.answers = {MessageAnswer::No};
    w.dialog.show();
    QTest::mouseClick(Find<PictureButton>(w.dialog, kExitButtonId), Qt::LeftButton);
    EXPECT_TRUE(w.opened.empty());
    EXPECT_FALSE(w.dialog.isVisible());
  }
  {
    Window w({Image("fat12.img")});
    w.dialog.show();
    QTest::keyClick(&w.dialog, Qt::Key_Escape);
    EXPECT_FALSE(w.dialog.isVisible());
    EXPECT_TRUE(w.messages.shown.empty());
  }
  {
    Window w({Image("fat12.img")});
    w.dialog.show();
    EXPECT_TRUE(w.dialog.close());
    EXPECT_TRUE(w.messages.shown.empty());
    EXPECT_TRUE(w.opened.empty());
  }
}

TEST(MainDialogImages, OpenImageAppendsItsPartitionsAndSelectsTheFirst) {
  Window w({Image("fat12.img")});
  auto* box = Find<QComboBox>(w.dialog, kDriveBoxControlId);
  w.paths.answers = {Image("disk-mbr.img")};
  w.dialog.Command(kOpenImageCommand)->trigger();
  ASSERT_GT(box->count(), 2);
  EXPECT_EQ(box->currentIndex(), 1);
  EXPECT_EQ(w.dialog.Drives().entries[1].partitionNumber, 1u);
  EXPECT_EQ(static_cast<size_t>(box->count()), w.dialog.Drives().entries.size());

  const int count = box->count();
  w.paths.answers = {Image("no-such.img")};
  w.dialog.Command(kOpenImageCommand)->trigger();
  EXPECT_EQ(box->count(), count);
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.lastIcon, MessageIcon::Warning);
}

}  // namespace
}  // namespace vellum::ui

namespace vellum::ui {
namespace {

TEST(MainDialogRestore, SelectedRowsAreRestoredAndSummarised) {
  Window w({Image("fat16.img")}, 0);
  w.dialog.OnSearch();
  app::ResultList& list = w.dialog.List();
  for (size_t row = 0; row < list.RowCount(); ++row)
    if (list.Cell(row, 0) == "big-deleted.bin") list.SetSelected(row, true);
  const std::filesystem::path out =
      std::filesystem::temp_directory_path() / ("vellum-ui-restore-" + std::to_string(::getpid()));
  std::filesystem::remove_all(out);
  w.paths.answers = {out.string()};
  w.messages.shown.clear();
  static_cast<QPushButton*>(w.dialog.Control(kRestoreButtonId))->click();
  EXPECT_EQ(std::filesystem::file_size(out / "big-deleted.bin"), 50000u);
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_NE(w.messages.shown[0].find("ファイル: 1 件"), std::string::npos) << w.messages.shown[0];
  EXPECT_GT(list.RowCount(), 10u);  // the list stays as the search left it
  std::filesystem::remove_all(out);
}

}  // namespace
}  // namespace vellum::ui
