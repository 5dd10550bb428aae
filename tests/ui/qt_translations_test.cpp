// Qt's own buttons speak the window's language when the catalogue is
// installed, and stay as they are, without a word, when it is not.
#include "ui/qt_translations.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include "ui/qt_messages.h"

namespace vellum::ui {
namespace {

// The texts of a Yes/No question's buttons, without their mnemonics
// ("はい(&Y)" reads "はい").
std::pair<QString, QString> QuestionButtonTexts() {
  QWidget parent;
  QtMessages messages(&parent);
  std::pair<QString, QString> texts;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    const QRegularExpression mnemonic(QStringLiteral("\\(&.\\)|&"));
    texts = {box->button(QMessageBox::Yes)->text().remove(mnemonic),
             box->button(QMessageBox::No)->text().remove(mnemonic)};
    box->button(QMessageBox::No)->click();
  });
  messages.Show("空きクラスタをスキャンしますか。", MessageButtons::YesNo, MessageIcon::None,
                MessageAnswer::No);
  return texts;
}

TEST(QtTranslationsTest, QuestionButtonsReadJapaneseWithTheCatalogue) {
  const QString folder = QtTranslationsFolder();
  if (!QFileInfo::exists(folder + QStringLiteral("/qtbase_ja.qm")))
    GTEST_SKIP() << "Qt's Japanese catalogue is not installed in " << folder.toStdString()
                 << " (Debian package qt6-translations-l10n)";
  {
    const auto translator = InstallQtTranslations(folder);
    ASSERT_NE(translator, nullptr);
    const auto [yes, no] = QuestionButtonTexts();
    EXPECT_EQ(yes, QStringLiteral("はい"));
    EXPECT_EQ(no, QStringLiteral("いいえ"));
  }
  // Gone with the translator: the other tests see Qt's own texts.
  EXPECT_EQ(QuestionButtonTexts().first, QStringLiteral("Yes"));
}

TEST(QtTranslationsTest, AMissingCatalogueLeavesQtsTextsQuietly) {
  EXPECT_EQ(InstallQtTranslations(QStringLiteral("/nonexistent/translations")), nullptr);
  const auto [yes, no] = QuestionButtonTexts();
  EXPECT_EQ(yes, QStringLiteral("Yes"));
  EXPECT_EQ(no, QStringLiteral("No"));
}

}  // namespace
}  // namespace vellum::ui
