#include "workspace/ui/CapForm.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "workspace/ui/Pictures.h"

TCapForm::TCapForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(SplashPicture()) {
  setObjectName("CapForm");
  setFixedSize(240, 220);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect r = screen->availableGeometry();
    move(r.center() - QPoint(width() / 2, height() / 2));
  }
}

void TCapForm::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, picture_);
}
