#pragma once
// The program's main-thread dispatcher: queued calls run on the GUI thread's event loop.

#include "platform/Dispatcher.h"

#include <QObject>

class TQtDispatcher : public QObject, public TDispatcher {
  Q_OBJECT
public:
  // Create on the GUI thread after the QApplication exists.
  explicit TQtDispatcher(QObject* parent = nullptr);
  ~TQtDispatcher() override;

protected:
  void Wake() override;

private slots:
  void Drain();
};
