#include "ui/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace vellum::ui {

QString QtTranslationsFolder() { return QLibraryInfo::path(QLibraryInfo::TranslationsPath); }

std::unique_ptr<QTranslator> InstallQtTranslations(const QString& folder) {
  // The window is Japanese whatever the user's locale, so Qt's texts are too.
  const QLocale japanese(QLocale::Japanese, QLocale::Japan);
  auto translator = std::make_unique<QTranslator>();
  // qtbase holds every text the widgets use; the other modules are not linked.
  if (!translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) return nullptr;
  if (!QCoreApplication::installTranslator(translator.get())) return nullptr;
  return translator;
}

}  // namespace vellum::ui
