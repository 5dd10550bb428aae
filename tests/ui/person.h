// A person at the main window: the mouse and the keyboard on the real widgets,
// and the real dialogs (message boxes, file dialogs, the cluster-range and
// progress windows) answered by their own buttons when they show. Nothing
// here calls a handler or writes the list; what a test checks is what the
// person would see, and the files on disk.
#pragma once

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/cluster_range.h"
#include "app/progress_model.h"
#include "ui/main_dialog.h"
#include "ui/result_table.h"
#include "ui/result_table_model.h"

namespace vellum::ui::testing {

class Person {
 public:
  struct Step {
    QString what;  // for the failure message
    std::function<bool(QWidget*)> matches;
    std::function<void(QWidget*)> act;
  };

  explicit Person(MainDialog& dialog) : dialog_(dialog) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }

  // --- What the person will do when the next dialog shows, in order.
  void Will(Step step) { steps_.push_back(std::move(step)); }
  void WillAnswer(QMessageBox::StandardButton button) {
    steps_.push_back({QStringLiteral("message box, %1").arg(int(button)), IsMessageBox,
                      [button](QWidget* w) {
                        auto* box = static_cast<QMessageBox*>(w);
                        QAbstractButton* b = box->button(button);
                        if (b) QTest::mouseClick(b, Qt::LeftButton);
                        else box->reject();
                      }});
  }
  // A file or folder dialog: the path typed into its name box, then Enter.
  void WillChoosePath(const QString& path) {
    steps_.push_back({QStringLiteral("file dialog for %1").arg(path), IsFileDialog,
                      [path](QWidget* w) { TypeIntoFileDialog(static_cast<QFileDialog*>(w), path); }});
  }
  void WillCancelFileDialog() {
    steps_.push_back({QStringLiteral("file dialog, cancelled"), IsFileDialog,
                      [](QWidget* w) { static_cast<QFileDialog*>(w)->reject(); }});
  }
  // The cluster-range dialog: both boxes typed over, then OK.
  void WillTypeRange(const QString& first, const QString& last) {
    steps_.push_back({QStringLiteral("cluster range"), HasName(QString::number(app::kClusterRangeDialogId)),
                      [first, last](QWidget* w) {
                        for (auto [id, text] : {std::pair{app::kStartClusterEditId, first}, std::pair{app::kEndClusterEditId, last}}) {
                          auto* edit = w->findChild<QLineEdit*>(QString::number(id));
                          edit->setFocus();
                          edit->selectAll();
                          QTest::keyClicks(edit, text);
                        }
                        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("1")), Qt::LeftButton);
                      }});
  }
  // The progress window's Cancel, pressed once `when` holds while it shows.
  void WillCancelProgressWhen(std::function<bool()> when) {
    steps_.push_back({QStringLiteral("progress window"),
                      [when](QWidget* w) { return w->objectName() == QString::number(app::kProgressDialogId) && when(); },
                      [](QWidget* w) {
                        QTest::mouseClick(w->findChild<QPushButton*>(QString::number(app::kProgressCancelId)), Qt::LeftButton);
                      }});
  }

  // --- The list.
  ResultTable& Table() { return dialog_.Table(); }
  int Rows() { return dialog_.Model().rowCount(); }
  QString Cell(int row, int column) {
    return dialog_.Model().data(dialog_.Model().index(row, column), Qt::DisplayRole).toString();
  }
  void ClickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
    const QModelIndex index = dialog_.Model().index(row, 0);
    Table().scrollTo(index);
    QTest::mouseClick(Table().viewport(), Qt::LeftButton, modifiers, Table().visualRect(index).center());
  }
  void ClickHeading(int column) {
    QHeaderView* header = Table().horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
  }
  // The rows highlighted on screen, as their names and folders.
  std::vector<QString> HighlightedRows() {
    std::vector<QString> rows;
    for (const QModelIndex& index : Table().selectionModel()->selectedRows())
      rows.push_back(Cell(index.row(), 1) + QLatin1Char('|') + Cell(index.row(), 0));
    std::sort(rows.begin(), rows.end());
    return rows;
  }

  // --- Buttons and menu commands, clicked.
  void Click(int controlId) {
    QTest::mouseClick(dialog_.findChild<QWidget*>(QString::number(controlId)), Qt::LeftButton);
  }
  // A menu command, chosen from the opened menu with the keyboard.
  void Choose(int commandId) {
    QAction* action = dialog_.Command(commandId);
    auto* menu = qobject_cast<QMenu*>(action->parent());
    QMenuBar* bar = dialog_.findChild<QMenuBar*>();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
  }

  // True when every dialog the person expected came and was answered.
  bool Done() const { return steps_.empty(); }
  QString Waiting() const { return steps_.empty() ? QString() : steps_.front().what; }
  // Message boxes that came with no step waiting, answered by their default.
  int Unexpected() const { return unexpected_; }
  // The text of every message box that showed, in order.
  const std::vector<QString>& Messages() const { return messages_; }

 private:
  static bool IsMessageBox(QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; }
  static bool IsFileDialog(QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; }
  static std::function<bool(QWidget*)> HasName(QString name) {
    return [name](QWidget* w) { return w->objectName() == name; };
  }

  // The path goes into the name box whole (typed letter by letter, the
  // box's completer would offer a neighbouring folder), then the dialog's
  // own accept button.
  static void TypeIntoFileDialog(QFileDialog* dialog, const QString& path) {
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    name->setFocus();
    name->setText(path);
    auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    for (QAbstractButton* button : buttons->buttons())
      if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole) {
        QTest::mouseClick(button, Qt::LeftButton);
        return;
      }
    QTest::keyClick(name, Qt::Key_Return);
  }

  // Only this window's own dialogs: a test may have two windows open.
  bool IsMine(QWidget* w) const {
    // The progress window has no parent (its owner is disabled under it): it
    // is the window's while the window is disabled.
    if (w->objectName() == QString::number(app::kProgressDialogId)) return !dialog_.isEnabled();
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
      if (p == &dialog_) return true;
    return false;
  }

  void Poll() {
    // A window manager gives the activation back once a dialog closes; the
    // offscreen platform does not.
    if (!QApplication::activeWindow() && !QApplication::activeModalWidget() && dialog_.isVisible())
      QApplication::setActiveWindow(&dialog_);
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible() || w->property("vellumSeen").toBool() || !IsMine(w)) continue;
      if (auto* box = qobject_cast<QMessageBox*>(w)) {
        messages_.push_back(box->text());
        w->setProperty("vellumSeen", true);
      }
    }
    if (steps_.empty()) {
      AnswerLeftOverBoxes();
      return;
    }
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible() || w->property("vellumAnswered").toBool() || !IsMine(w)) continue;
      if (!steps_.front().matches(w)) continue;
      Step step = std::move(steps_.front());
      steps_.pop_front();
      w->setProperty("vellumAnswered", true);
      // A click may open the next dialog before it returns; this runs again
      // inside it, with the step already taken.
      step.act(w);
      return;
    }
  }

  // A message box nobody expected gets Enter, its default button, as an
  // impatient person would give it; the test sees it in Messages() and a
  // test never hangs on it.
  void AnswerLeftOverBoxes() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box || !box->isVisible() || box->property("vellumAnswered").toBool() || !IsMine(box)) continue;
      box->setProperty("vellumAnswered", true);
      ++unexpected_;
      if (box->defaultButton()) QTest::mouseClick(box->defaultButton(), Qt::LeftButton);
      else box->reject();
      return;
    }
  }

  MainDialog& dialog_;
  QTimer timer_;
  int unexpected_ = 0;
  std::deque<Step> steps_;
  std::vector<QString> messages_;
};

}  // namespace vellum::ui::testing
