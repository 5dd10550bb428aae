#include "ui/qt_messages.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace vellum::ui {
namespace {

struct Seen {
  QString title, text;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Shows a message and presses `press` in the box, noting what the box was.
MessageAnswer ShowAndPress(MessageButtons buttons, MessageIcon icon, MessageAnswer byDefault,
                           QMessageBox::StandardButton press, Seen& seen) {
  QWidget parent;
  QtMessages messages(&parent);
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seen = {box->windowTitle(), box->text(), box->standardButtons(),
            box->standardButton(box->defaultButton()), box->icon()};
    box->button(press)->click();
  });
  return messages.Show("処理を続けますか。", buttons, icon, byDefault);
}

TEST(QtMessagesTest, TitleButtonsIconAndDefaultAsAsked) {
  Seen seen;
  EXPECT_EQ(ShowAndPress(MessageButtons::YesNo, MessageIcon::Question, MessageAnswer::No,
                         QMessageBox::Yes, seen),
            MessageAnswer::Yes);
  EXPECT_EQ(seen.title, QStringLiteral("Vellum"));
  EXPECT_EQ(seen.text, QStringLiteral("処理を続けますか。"));
  EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(seen.defaultButton, QMessageBox::No);
  EXPECT_EQ(seen.icon, QMessageBox::Question);

  EXPECT_EQ(ShowAndPress(MessageButtons::RetryCancel, MessageIcon::Stop, MessageAnswer::Retry,
                         QMessageBox::Cancel, seen),
            MessageAnswer::Cancel);
  EXPECT_EQ(seen.buttons, QMessageBox::Retry | QMessageBox::Cancel);
  EXPECT_EQ(seen.defaultButton, QMessageBox::Retry);
  EXPECT_EQ(seen.icon, QMessageBox::Critical);

  EXPECT_EQ(ShowAndPress(MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok,
                         QMessageBox::Ok, seen),
            MessageAnswer::Ok);
  EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
}

// A name from the disk in a message (a restore's summary, an image's error)
// is shown as the characters it is, never as markup.
TEST(QtMessagesTest, AMarkupLookingNameIsShownAsItsCharacters) {
  QWidget parent;
  QtMessages messages(&parent);
  const QString name = QStringLiteral("<img src=\"x\"><b>写真</b>.JPG");
  QString shown;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(label, nullptr);
    if (label->textFormat() == Qt::PlainText) shown = label->text();
    box->button(QMessageBox::Ok)->click();
  });
  messages.Show(name.toStdString(), MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok);
  EXPECT_EQ(shown, name);
}

}  // namespace
}  // namespace vellum::ui
