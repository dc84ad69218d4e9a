// The Qt dispatcher: calls from worker threads run on the GUI thread's event loop.

#include <QCoreApplication>
#include <QEventLoop>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <thread>

#include "platform/ui/QtDispatcher.h"

class TQtDispatcherTest : public QObject {
  Q_OBJECT
private slots:
  void sendFromWorkerRunsOnGuiThread() {
    TQtDispatcher d;
    TScopedDispatcher scope(&d);
    QThread* gui = QThread::currentThread();
    QThread* ranOn = nullptr;
    std::atomic<bool> done{false};
    std::thread worker([&] {
      RunOnMainThread([&] { ranOn = QThread::currentThread(); });
      done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 5000);
    worker.join();
    QCOMPARE(ranOn, gui);
  }
  void postRunsFromTheEventLoopInOrder() {
    TQtDispatcher d;
    TScopedDispatcher scope(&d);
    std::vector<int> order;
    std::thread worker([&] {
      for (int i = 0; i < 100; ++i) PostToMainThread([&order, i] { order.push_back(i); });
    });
    worker.join();
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), size_t(100), 5000);
    for (int i = 0; i < 100; ++i) QCOMPARE(order[size_t(i)], i);
  }
};

QTEST_GUILESS_MAIN(TQtDispatcherTest)
#include "dispatcher_qtest.moc"
