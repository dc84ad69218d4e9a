#pragma once
// A hyperlink label: opens URL when clicked, "Copy" in its pop-up menu.

#include <QColor>
#include <QLabel>

class TGrlink : public QLabel {
  Q_OBJECT
public:
  explicit TGrlink(const QString& caption, QWidget* parent = nullptr);

  QString URL;
  QColor ActiveColor = QColor(128, 0, 128);

  void Click();

protected:
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

private:
  void SetFontColor(const QColor& c);
  QColor previous_;
};
