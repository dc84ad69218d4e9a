#pragma once
// The splash window shown while the windows are created.

#include <QWidget>

class TCapForm : public QWidget {
  Q_OBJECT
public:
  explicit TCapForm(QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* e) override;

private:
  QPixmap picture_;
};
