#include "ui/dialog_font.h"

#include <QStringList>

namespace vellum::ui {

namespace {

// Proportional Japanese gothic faces, nearest first.
const QStringList& Substitutes() {
  static const QStringList list{QStringLiteral("IPAPGothic"), QStringLiteral("IPAexGothic"),
                                QStringLiteral("VL PGothic"), QStringLiteral("Noto Sans CJK JP"),
                                QStringLiteral("IPAGothic")};
  return list;
}

void InstallSubstitutes() {
  static const bool installed = [] {
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), Substitutes());
    QFont::insertSubstitutions(QStringLiteral("MS Shell Dlg"), Substitutes());
    return true;
  }();
  (void)installed;
}

}  // namespace

QFont DialogFont() {
  InstallSubstitutes();
  return QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9);
}

QFont SmallDialogFont() {
  InstallSubstitutes();
  return QFont(QStringLiteral("MS Shell Dlg"), 8);
}

}  // namespace vellum::ui
