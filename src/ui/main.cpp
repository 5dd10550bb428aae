// vellum: the desktop program. One window; when it closes, the program ends.
#include <QApplication>
#include <QDialog>
#include <string>
#include <vector>

#include "app/drive_summary.h"
#include "app/window_start.h"
#include "ui/artwork.h"
#include "ui/main_dialog.h"
#include "ui/qt_messages.h"
#include "ui/qt_translations.h"
#include "volume/drives.h"

namespace {

// Image files named on the command line join the drive box after the
// machine's own drives; the first of them is selected.
int32_t FirstImageEntry(const vellum::volume::DriveTable& drives) {
  for (const vellum::volume::DriveEntry& entry : drives.entries)
    if (entry.deviceNumber.empty()) return entry.index;
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("vellum"));
  QApplication::setApplicationVersion(QStringLiteral(VELLUM_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("vellum"));
  QApplication::setWindowIcon(vellum::ui::ApplicationIcon());
  const auto qtTexts = vellum::ui::InstallQtTranslations();

  // --bios-disk DISK (repeatable) takes the legacy path with DISK as the
  // disk BIOS's next unit; every other argument is an image for the drive box.
  vellum::app::WindowArguments arguments =
      vellum::app::ParseWindowArguments(std::vector<std::string>(argv + 1, argv + argc));
  vellum::volume::DriveSources sources;
  sources.images = std::move(arguments.images);
  const std::vector<std::string>& biosDisks = arguments.biosDisks;
  vellum::volume::DriveTable drives = vellum::volume::EnumerateDrives(sources);
  vellum::app::AddDriveSummaries(drives);  // "sdb1 — FAT32 29.7 GB ラベル"
  const std::vector<std::string> errors = drives.errors;
  const int32_t select = FirstImageEntry(drives);

  vellum::ui::MainDialog dialog(std::move(drives), select);
  dialog.Privileges().SetArguments(QApplication::arguments().mid(1));
  QObject::connect(&dialog, &QDialog::finished, &app, &QApplication::quit);
  // Ending the dialog here ends the program, after the layer's message.
  if (!biosDisks.empty() && !dialog.StartLegacyPath(biosDisks)) return 1;
  dialog.show();
  vellum::ui::QtMessages messages(&dialog);
  for (const std::string& error : errors)
    messages.Show(error, vellum::MessageButtons::Ok, vellum::MessageIcon::Warning,
                  vellum::MessageAnswer::Ok);
  return app.exec();
}
