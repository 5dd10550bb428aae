// Qt's own texts in the language of the rest of the window: the standard
// buttons of every message box ("はい", "いいえ"), the file dialogs and
// their "already exists" question.
#pragma once

#include <QString>
#include <QTranslator>
#include <memory>

namespace vellum::ui {

// Where Qt's translation catalogues are looked for; the Qt installation's
// own folder unless a test names another.
QString QtTranslationsFolder();

// Installs Qt's Japanese catalogue from `folder` into the running
// application and returns it (uninstalled again when destroyed), or null
// when the catalogue is missing: Qt's English texts then stay, unannounced.
std::unique_ptr<QTranslator> InstallQtTranslations(const QString& folder = QtTranslationsFolder());

}  // namespace vellum::ui
