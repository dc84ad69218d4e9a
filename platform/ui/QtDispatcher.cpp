#include "platform/ui/QtDispatcher.h"

#include <QMetaObject>

TQtDispatcher::TQtDispatcher(QObject* parent) : QObject(parent) {}

TQtDispatcher::~TQtDispatcher() {
  if (MainDispatcher() == this) SetMainDispatcher(nullptr);
  // A worker may still wait in Send: let it go on rather than hang.
  ProcessPending();
}

void TQtDispatcher::Wake() {
  // Queued, so it runs on this object's (the GUI) thread from its event loop.
  QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
}

void TQtDispatcher::Drain() { ProcessPending(); }
