#include "ui/dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace vellum::ui {

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int advance =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(advance / 26 + 1) / 2, metrics.height()};
}

int MulDiv(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = (c < 0 ? -c : c) / 2;
  const long long rounded = (product < 0) == (c < 0) ? product + half : product - half;
  return static_cast<int>(rounded / c);
}

QRect DluToPixels(const QRect& dlu, DialogBaseUnits base) {
  return {MulDiv(dlu.x(), base.x, 4), MulDiv(dlu.y(), base.y, 8), MulDiv(dlu.width(), base.x, 4),
          MulDiv(dlu.height(), base.y, 8)};
}

QSize DluToPixels(const QSize& dlu, DialogBaseUnits base) {
  return {MulDiv(dlu.width(), base.x, 4), MulDiv(dlu.height(), base.y, 8)};
}

}  // namespace vellum::ui
