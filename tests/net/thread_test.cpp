// The worker thread and the main-thread dispatcher it synchronizes through.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "net/IdThread.h"
#include "platform/Dispatcher.h"

using namespace std::chrono_literals;

namespace {

template <class Pred>
bool WaitUntil(Pred p, std::chrono::milliseconds limit = 5000ms) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (p()) return true;
    ProcessMainThreadCalls();
    std::this_thread::sleep_for(1ms);
  }
  return p();
}

// Counts its passes; stops itself after StopAfter passes of one start.
class TCounter : public TIdThread {
public:
  std::atomic<int> passes{0};
  std::atomic<int> passesThisStart{0};
  int stopAfter = 3;
  std::atomic<bool> throwNext{false};
  std::string lastError;
  ~TCounter() override { TerminateAndWaitFor(); }
  void Begin() {
    passesThisStart = 0;
    Start();
  }

protected:
  void Run() override {
    if (throwNext.exchange(false)) throw std::runtime_error("boom");
    ++passes;
    if (++passesThisStart >= stopAfter) Stop();
  }
  void HandleRunException(const std::string& m) override { lastError = m; }
};

}  // namespace

TEST(IdThread, StopSuspendsAndStartRunsAgain) {
  TCounter t;
  EXPECT_TRUE(t.Stopped());
  EXPECT_FALSE(t.Terminated());
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(t.passes, 0);  // created suspended
  t.Begin();
  ASSERT_TRUE(WaitUntil([&] { return t.Stopped() && !t.Running(); }));
  EXPECT_EQ(t.passes, 3);
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(t.passes, 3);  // suspended, not ended
  EXPECT_FALSE(t.Finished());
  t.Begin();
  ASSERT_TRUE(WaitUntil([&] { return t.passes == 6 && t.Stopped(); }));
  t.Terminate();
  t.WaitFor();
  EXPECT_TRUE(t.Terminated());
  EXPECT_TRUE(t.Finished());
  t.Begin();  // a terminated thread does not start again
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(t.passes, 6);
}

TEST(IdThread, StopFromOutsideEndsAfterTheCurrentPass) {
  class TSlow : public TIdThread {
  public:
    std::atomic<int> passes{0};
    ~TSlow() override { TerminateAndWaitFor(); }

  protected:
    void Run() override {
      std::this_thread::sleep_for(5ms);
      ++passes;
    }
  } t;
  t.Start();
  ASSERT_TRUE(WaitUntil([&] { return t.passes >= 2; }));
  t.Stop();
  ASSERT_TRUE(WaitUntil([&] { return !t.Running(); }));
  int p = t.passes;
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(t.passes, p);
}

TEST(IdThread, TerminateModeStopEndsTheThread) {
  TCounter t;
  t.StopMode = smTerminate;
  t.Begin();
  t.WaitFor();
  EXPECT_TRUE(t.Terminated());
  EXPECT_EQ(t.passes, 3);
}

TEST(IdThread, AnExceptionInRunStopsTheThread) {
  TCounter t;
  t.throwNext = true;
  t.Begin();
  ASSERT_TRUE(WaitUntil([&] { return t.Stopped() && !t.Running(); }));
  EXPECT_EQ(t.lastError, "boom");
  EXPECT_EQ(t.passes, 0);
  t.Begin();
  ASSERT_TRUE(WaitUntil([&] { return t.passes == 3; }));
}

TEST(IdThread, AThrowingExceptionHandlerDoesNotEndTheProgram) {
  class TBad : public TIdThread {
  public:
    std::atomic<int> passes{0};
    ~TBad() override { TerminateAndWaitFor(); }

  protected:
    void Run() override {
      ++passes;
      throw std::runtime_error("first");
    }
    void HandleRunException(const std::string&) override { throw std::runtime_error("second"); }
  } t;
  t.Start();
  ASSERT_TRUE(WaitUntil([&] { return t.Stopped() && !t.Running(); }));
  EXPECT_EQ(t.passes, 1);
}

TEST(IdThread, SynchronizeRunsOnTheMainThread) {
  TManualDispatcher d;
  TScopedDispatcher scope(&d);
  class TSync : public TIdThread {
  public:
    std::thread::id ranOn;
    std::atomic<bool> returned{false};
    ~TSync() override { TerminateAndWaitFor(); }

  protected:
    void Run() override {
      Synchronize([this] { ranOn = std::this_thread::get_id(); });
      returned = true;
      Stop();
    }
  } t;
  t.Start();
  ASSERT_TRUE(d.WaitForWork(5000));
  EXPECT_FALSE(t.returned);  // waiting for the main thread
  EXPECT_EQ(d.ProcessPending(), 1);
  ASSERT_TRUE(WaitUntil([&] { return t.returned.load(); }));
  EXPECT_EQ(t.ranOn, std::this_thread::get_id());
}

TEST(IdThread, WaitingOnTheMainThreadServesSynchronize) {
  TManualDispatcher d;
  TScopedDispatcher scope(&d);
  std::atomic<int> calls{0};
  {
    class TSync : public TIdThread {
    public:
      std::atomic<int>* calls;
      ~TSync() override { TerminateAndWaitFor(); }

    protected:
      void Run() override {
        Synchronize([this] { ++*calls; });
        std::this_thread::sleep_for(1ms);
      }
    } t;
    t.calls = &calls;
    t.Start();
    std::this_thread::sleep_for(20ms);
    // Destroying it from the main thread while it may sit in Synchronize must not hang.
  }
  EXPECT_GE(calls.load(), 1);
}

TEST(Dispatcher, PostSendAndExceptions) {
  TManualDispatcher d;
  TScopedDispatcher scope(&d);
  EXPECT_TRUE(IsMainThread());
  int v = 0;
  RunOnMainThread([&] { v = 1; });  // on the main thread: at once
  EXPECT_EQ(v, 1);
  PostToMainThread([&] { v = 2; });
  EXPECT_EQ(v, 1);
  EXPECT_EQ(d.PendingCount(), 1u);
  EXPECT_EQ(ProcessMainThreadCalls(), 1);
  EXPECT_EQ(v, 2);

  std::string caught;
  bool otherIsMain = true;
  std::thread worker([&] {
    otherIsMain = IsMainThread();
    try {
      RunOnMainThread([] { throw std::runtime_error("from main"); });
    } catch (const std::exception& e) {
      caught = e.what();
    }
  });
  ASSERT_TRUE(d.WaitForWork(5000));
  d.ProcessPending();
  worker.join();
  EXPECT_FALSE(otherIsMain);
  EXPECT_EQ(caught, "from main");
  // A posted call that throws does not stop the others.
  PostToMainThread([] { throw 1; });
  PostToMainThread([&] { v = 3; });
  EXPECT_EQ(d.ProcessPending(), 2);
  EXPECT_EQ(v, 3);
}

TEST(Dispatcher, WithoutOneCallsRunInPlace) {
  ASSERT_EQ(MainDispatcher(), nullptr);
  int v = 0;
  std::thread([&] { RunOnMainThread([&] { v = 1; }); }).join();
  EXPECT_EQ(v, 1);
  EXPECT_EQ(ProcessMainThreadCalls(), 0);
}
