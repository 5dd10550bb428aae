// The dialog fonts. Layouts are measured in the fonts they were designed
// with; where those are missing, a Japanese font of the same build stands in,
// so the base units (and so every rectangle) come out close to the original.
#pragma once

#include <QFont>

namespace vellum::ui {

// "ＭＳ Ｐゴシック" 9 point: the main window and the progress window.
QFont DialogFont();
// "MS Shell Dlg" 8 point: the cluster-range and file-size dialogs.
QFont SmallDialogFont();

}  // namespace vellum::ui
