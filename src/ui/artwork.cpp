#include "ui/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "ui/dialog_font.h"

namespace vellum::ui {

namespace {

const QColor kInk(26, 64, 120);
const QColor kParchment(250, 240, 214);
const QColor kParchmentEdge(176, 146, 92);

struct ButtonFace {
  const char* caption;
  QColor accent;
};

bool FaceFor(const QString& base, ButtonFace& face) {
  if (base == QLatin1String("SEARCH")) {
    face = {"削除ファイル検索(S)", QColor(40, 110, 190)};
  } else if (base == QLatin1String("RESTORE")) {
    face = {"コピーして復元(C)", QColor(40, 140, 90)};
  } else if (base == QLatin1String("CLOSE")) {
    face = {"終了(X)", QColor(150, 90, 60)};
  } else {
    return false;
  }
  return true;
}

// A small magnifying glass: the program looks for what was lost.
void PaintLens(QPainter& p, const QRectF& box, const QColor& colour) {
  const qreal d = box.width() * 0.62;
  const QRectF glass(box.left(), box.top(), d, d);
  p.setPen(QPen(colour, qMax<qreal>(1.2, box.width() / 9)));
  p.setBrush(QColor(255, 255, 255, 150));
  p.drawEllipse(glass);
  p.setPen(QPen(colour, qMax<qreal>(1.6, box.width() / 6), Qt::SolidLine, Qt::RoundCap));
  const qreal k = d * 0.85;
  p.drawLine(QPointF(box.left() + k, box.top() + k), box.bottomRight());
}

void PaintButtonFace(QPainter& p, const ButtonFace& face, bool pressed) {
  const QRectF frame(0.5, 0.5, kButtonBitmapWidth - 1, kButtonBitmapHeight - 1);
  QLinearGradient fill(0, 0, 0, kButtonBitmapHeight);
  fill.setColorAt(0, pressed ? face.accent.lighter(115) : QColor(255, 255, 255));
  fill.setColorAt(1, pressed ? face.accent.darker(115) : face.accent.lighter(175));
  p.setPen(QPen(face.accent.darker(130), 1));
  p.setBrush(fill);
  p.drawRoundedRect(frame, 4, 4);

  const int shift = pressed ? 1 : 0;  // the face sinks when pressed
  PaintLens(p, QRectF(5 + shift, 4 + shift, 13, 13), pressed ? Qt::white : face.accent);
  p.setFont(DialogFont());
  p.setPen(pressed ? QColor(Qt::white) : kInk);
  p.drawText(QRect(19 + shift, shift, kButtonBitmapWidth - 21, kButtonBitmapHeight),
             Qt::AlignCenter, QString::fromUtf8(face.caption));
}

// A sheet of vellum with a folded corner under a lens.
void PaintEmblem(QPainter& p, const QRectF& box) {
  const qreal w = box.width(), h = box.height();
  const qreal fold = w * 0.22;
  QPainterPath sheet;
  sheet.moveTo(box.left() + w * 0.12, box.top() + h * 0.04);
  sheet.lineTo(box.left() + w * 0.80 - fold, box.top() + h * 0.04);
  sheet.lineTo(box.left() + w * 0.80, box.top() + h * 0.04 + fold);
  sheet.lineTo(box.left() + w * 0.80, box.top() + h * 0.92);
  sheet.lineTo(box.left() + w * 0.12, box.top() + h * 0.92);
  sheet.closeSubpath();
  p.setPen(QPen(kParchmentEdge, qMax<qreal>(1.0, w / 40)));
  p.setBrush(kParchment);
  p.drawPath(sheet);
  p.setPen(QPen(kParchmentEdge.lighter(120), qMax<qreal>(1.0, w / 48)));
  for (int line = 0; line < 4 && w >= 24; ++line) {
    const qreal y = box.top() + h * (0.30 + 0.12 * line);
    p.drawLine(QPointF(box.left() + w * 0.22, y), QPointF(box.left() + w * 0.68, y));
  }
  PaintLens(p, QRectF(box.left() + w * 0.36, box.top() + h * 0.40, w * 0.58, h * 0.56), kInk);
}

}  // namespace

QPixmap ButtonBitmap(const QString& name) {
  if (name.size() < 2) return {};
  const QChar state = name.back();
  ButtonFace face{};
  if ((state != QLatin1Char('1') && state != QLatin1Char('2')) || !FaceFor(name.chopped(1), face))
    return {};
  QPixmap pixmap(kButtonBitmapWidth, kButtonBitmapHeight);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  PaintButtonFace(p, face, state == QLatin1Char('2'));
  return pixmap;
}

QPixmap LogoBitmap() {
  QPixmap pixmap(kLogoWidth, kLogoHeight);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  PaintEmblem(p, QRectF(2, 2, kLogoWidth - 4, kLogoHeight - 4));
  return pixmap;
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    PaintEmblem(p, QRectF(0, 0, size, size));
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace vellum::ui
