#include "workspace/ui/Pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

void DrawEnvelope(QPainter& p, const QRectF& r, const QColor& line, const QColor& fill) {
  p.setPen(QPen(line, 2));
  p.setBrush(fill);
  p.drawRoundedRect(r, 3, 3);
  QPainterPath flap;
  flap.moveTo(r.topLeft());
  flap.lineTo(r.center().x(), r.top() + r.height() * 0.55);
  flap.lineTo(r.topRight());
  p.setBrush(Qt::NoBrush);
  p.drawPath(flap);
}

// A small bird in flight: two wing curves and a body.
void DrawLark(QPainter& p, QPointF at, double s, const QColor& c) {
  QPainterPath bird;
  bird.moveTo(at + QPointF(-s, -0.2 * s));
  bird.quadTo(at + QPointF(-0.5 * s, -0.9 * s), at);
  bird.quadTo(at + QPointF(0.5 * s, -0.9 * s), at + QPointF(s, -0.2 * s));
  bird.quadTo(at + QPointF(0.4 * s, -0.35 * s), at + QPointF(0, 0.15 * s));
  bird.quadTo(at + QPointF(-0.4 * s, -0.35 * s), at + QPointF(-s, -0.2 * s));
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawPath(bird);
}

}  // namespace

QPixmap SplashPicture() {
  QPixmap pm(240, 220);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, 0, 220);
  g.setColorAt(0, QColor(36, 74, 140));
  g.setColorAt(1, QColor(120, 170, 220));
  p.fillRect(pm.rect(), g);
  DrawEnvelope(p, QRectF(62, 96, 116, 70), QColor(30, 50, 90), QColor(250, 248, 240));
  DrawLark(p, QPointF(150, 70), 26, QColor(250, 250, 250));
  DrawLark(p, QPointF(95, 52), 14, QColor(230, 236, 250));
  p.setPen(Qt::white);
  QFont f("DejaVu Sans", 18, QFont::Bold);
  p.setFont(f);
  p.drawText(QRect(0, 172, 240, 28), Qt::AlignCenter, "Larkpost");
  f.setPointSize(8);
  f.setBold(false);
  p.setFont(f);
  p.drawText(QRect(0, 198, 240, 16), Qt::AlignCenter, "Version 3.2");
  p.setPen(QPen(QColor(20, 40, 80), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(pm.rect().adjusted(0, 0, -1, -1));
  return pm;
}

QPixmap BackgroundPicture() {
  QPixmap pm(64, 64);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(pm.rect(), QColor(214, 220, 230));
  DrawEnvelope(p, QRectF(10, 16, 30, 20), QColor(176, 186, 204), QColor(222, 228, 238));
  DrawLark(p, QPointF(48, 50), 8, QColor(190, 200, 216));
  return pm;
}
