#include "workspace/ui/Grlink.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QMouseEvent>
#include <QUrl>

TGrlink::TGrlink(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
  setCursor(Qt::PointingHandCursor);
  QFont f = font();
  f.setUnderline(true);
  setFont(f);
  SetFontColor(Qt::blue);
}

void TGrlink::SetFontColor(const QColor& c) {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, c);
  setPalette(p);
}

void TGrlink::enterEvent(QEnterEvent* e) {
  previous_ = palette().color(QPalette::WindowText);
  SetFontColor(ActiveColor);
  QLabel::enterEvent(e);
}

void TGrlink::leaveEvent(QEvent* e) {
  if (previous_.isValid()) SetFontColor(previous_);
  QLabel::leaveEvent(e);
}

void TGrlink::Click() {
  if (URL.trimmed().isEmpty()) return;
  QDesktopServices::openUrl(QUrl::fromUserInput(URL));
}

void TGrlink::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) Click();
  QLabel::mouseReleaseEvent(e);
}

void TGrlink::contextMenuEvent(QContextMenuEvent* e) {
  QMenu menu(this);
  QAction* copy = menu.addAction("Copy");
  copy->setObjectName("Copy1");
  if (menu.exec(e->globalPos()) == copy) QApplication::clipboard()->setText(text());
}
