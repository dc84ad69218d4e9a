#pragma once
// For the window tests: acts on the next modal dialog once it is up, then
// closes it if it is still open, so that a failed check cannot hang a test.

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

inline void WhenModal(std::function<void(QWidget*)> fn) {
  auto tries = std::make_shared<int>(0);
  auto step = std::make_shared<std::function<void()>>();
  *step = [fn = std::move(fn), tries, step] {
    QWidget* m = QApplication::activeModalWidget();
    if (!m && ++*tries < 300) {
      QTimer::singleShot(10, *step);
      return;
    }
    if (m) fn(m);
    if (auto* d = qobject_cast<QDialog*>(m); d && d->isVisible()) d->reject();
    *step = nullptr;  // breaks the cycle
  };
  QTimer::singleShot(0, *step);
}
