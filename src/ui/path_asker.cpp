#include "ui/path_asker.h"

#include <QFileDialog>

#include "ui/cursor_scope.h"
#include "ui/text.h"

namespace vellum::ui {

namespace {

// "*.*" is how the filter reads, but on this system it would hide every name
// without a dot, the suggested name "結果" among them. The pattern in the
// last parentheses is the one matched; hiding the details shows the rest.
const QString kAllFilesFilter = QStringLiteral("すべてのﾌｧｲﾙ(*.*) (*)");

// The image kinds the program opens, first piece or segment only. The
// content decides what a file is; the filter only helps find them, and
// "all files" stays for images named otherwise.
const QStringList kImageFilters = {
    QStringLiteral("ディスクイメージ (*.img *.IMG *.dd *.raw *.bin *.E01 *.e01 *.Ex01 *.vhd *.VHD *.vhdx "
                   "*.VHDX *.vmdk *.qcow2 *.qcow *.000 *.001 *aa)"),
    QStringLiteral("E01 証拠ファイル (*.E01 *.e01 *.Ex01)"),
    QStringLiteral("仮想ディスク VHD/VHDX/VMDK/qcow2 (*.vhd *.VHD *.vhdx *.VHDX *.vmdk *.qcow2 *.qcow)"),
    QStringLiteral("分割イメージの最初のファイル (*.000 *.001 *aa)"),
    kAllFilesFilter,
};

std::string Ask(QWidget* parent, const QString& title, std::string_view initialName,
                QFileDialog::AcceptMode mode, const QStringList& filters = {kAllFilesFilter},
                const QString& folder = {}) {
  QFileDialog dialog(parent, title, folder);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                      : QFileDialog::ExistingFile);
  dialog.setNameFilters(filters);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setDefaultSuffix(QString());
  dialog.selectFile(FromUtf8(initialName));
  const NormalCursorWhileAsking normalCursor;
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return ToUtf8(dialog.selectedFiles().front());
}

}  // namespace

std::string QtPathAsker::AskSavePath(std::string_view initialName) {
  return Ask(parent_, QStringLiteral("名前を付けて保存"), initialName, QFileDialog::AcceptSave);
}

std::string QtPathAsker::AskOpenPath(std::string_view initialName) {
  return Ask(parent_, QStringLiteral("開く"), initialName, QFileDialog::AcceptOpen);
}

std::string QtPathAsker::AskFolderPath() {
  const NormalCursorWhileAsking normalCursor;
  return ToUtf8(QFileDialog::getExistingDirectory(parent_, QStringLiteral("復元先のフォルダを選択")));
}

std::string QtPathAsker::AskImagePath() {
  return Ask(parent_, QStringLiteral("イメージファイルを開く"), {}, QFileDialog::AcceptOpen, kImageFilters);
}

std::string QtPathAsker::AskImagePathFor(const std::string& folder, std::string_view initialName) {
  return Ask(parent_, QStringLiteral("イメージファイルを開く"), initialName, QFileDialog::AcceptOpen, kImageFilters,
             FromUtf8(folder));
}

}  // namespace vellum::ui
