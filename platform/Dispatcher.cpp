#include "platform/Dispatcher.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <memory>

void TDispatcher::Post(std::function<void()> fn) {
  {
    std::lock_guard<std::mutex> g(lock_);
    queue_.push_back(std::move(fn));
  }
  queued_.notify_all();
  Wake();
}

void TDispatcher::Send(std::function<void()> fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  struct Waiter {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::exception_ptr error;
  };
  auto w = std::make_shared<Waiter>();
  Post([w, fn = std::move(fn)] {
    try {
      fn();
    } catch (...) {
      w->error = std::current_exception();
    }
    std::lock_guard<std::mutex> g(w->m);
    w->done = true;
    w->cv.notify_all();
  });
  std::unique_lock<std::mutex> g(w->m);
  w->cv.wait(g, [&] { return w->done; });
  if (w->error) std::rethrow_exception(w->error);
}

int TDispatcher::ProcessPending() {
  int ran = 0;
  for (;;) {
    std::function<void()> fn;
    {
      std::lock_guard<std::mutex> g(lock_);
      if (queue_.empty()) break;
      fn = std::move(queue_.front());
      queue_.pop_front();
    }
    // A posted call has nobody to report to: its exception must not end the loop.
    try {
      fn();
    } catch (...) {
    }
    ++ran;
  }
  return ran;
}

bool TDispatcher::WaitForWork(int timeoutMs) {
  std::unique_lock<std::mutex> g(lock_);
  return queued_.wait_for(g, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                          [&] { return !queue_.empty(); });
}

size_t TDispatcher::PendingCount() const {
  std::lock_guard<std::mutex> g(lock_);
  return queue_.size();
}

namespace {
std::atomic<TDispatcher*> g_dispatcher{nullptr};
}

TDispatcher* MainDispatcher() { return g_dispatcher.load(); }

void SetMainDispatcher(TDispatcher* dispatcher) { g_dispatcher.store(dispatcher); }

bool IsMainThread() {
  TDispatcher* d = MainDispatcher();
  return d == nullptr || d->IsMainThread();
}

void RunOnMainThread(std::function<void()> fn) {
  TDispatcher* d = MainDispatcher();
  if (d == nullptr) {
    fn();
    return;
  }
  d->Send(std::move(fn));
}

void PostToMainThread(std::function<void()> fn) {
  TDispatcher* d = MainDispatcher();
  if (d == nullptr) {
    fn();
    return;
  }
  d->Post(std::move(fn));
}

int ProcessMainThreadCalls() {
  TDispatcher* d = MainDispatcher();
  if (d == nullptr || !d->IsMainThread()) return 0;
  return d->ProcessPending();
}
