// Dialog units: the layout of every dialog is given in units of the dialog
// font, a quarter of its average character width across and an eighth of its
// height down, so the same layout fits whatever font the machine has.
#pragma once

#include <QFont>
#include <QRect>

namespace vellum::ui {

struct DialogBaseUnits {
  int x = 0;  // average character width, pixels
  int y = 0;  // character height, pixels
};

// The base units of a font, measured as Windows measures them: half the
// rounded-up advance of the 52 ASCII letters over 26, and the line height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// a * b / c rounded to the nearest, halves away from zero.
int MulDiv(int a, int b, int c);

// Each of x, y, width and height converted on its own, as a dialog template's
// controls are.
QRect DluToPixels(const QRect& dlu, DialogBaseUnits base);
QSize DluToPixels(const QSize& dlu, DialogBaseUnits base);

}  // namespace vellum::ui
