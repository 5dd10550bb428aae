// The program's own pictures, painted in code so that nothing but this source
// is needed to build them: the picture buttons' bitmaps, the logo and the
// application icon.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace vellum::ui {

inline constexpr int kButtonBitmapWidth = 124;
inline constexpr int kButtonBitmapHeight = 22;
inline constexpr int kLogoWidth = 58;
inline constexpr int kLogoHeight = 59;

// "SEARCH1", "SEARCH2", "RESTORE1", "RESTORE2", "CLOSE1", "CLOSE2": the "1"
// bitmap is the resting face, the "2" bitmap the pressed one. A null pixmap
// for any other name.
QPixmap ButtonBitmap(const QString& name);

// "LOGO", 58 x 59.
QPixmap LogoBitmap();

// The application icon in 16, 32 and 48 pixels.
QIcon ApplicationIcon();

}  // namespace vellum::ui
