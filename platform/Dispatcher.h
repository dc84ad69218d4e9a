#pragma once
// The main-thread dispatcher: how worker threads hand work to the UI thread.
// Core code calls RunOnMainThread (waits until the call has run) or PostToMainThread
// (returns at once). The program installs a TQtDispatcher (platform/ui/QtDispatcher.h);
// tests install a TManualDispatcher and pump it by hand.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class TDispatcher {
public:
  virtual ~TDispatcher() = default;

  // Queues Fn to run on the main thread; returns at once.
  void Post(std::function<void()> fn);
  // Runs Fn on the main thread and waits until it has run. Called on the main thread
  // it runs at once. An exception thrown by Fn is rethrown to the caller.
  void Send(std::function<void()> fn);
  // Runs every queued call; main thread only. Returns how many ran.
  int ProcessPending();
  // Waits (any thread) up to TimeoutMs until something is queued; true when so.
  bool WaitForWork(int timeoutMs);
  // Number of calls waiting.
  size_t PendingCount() const;

  bool IsMainThread() const { return std::this_thread::get_id() == mainThread_; }
  std::thread::id MainThreadId() const { return mainThread_; }

protected:
  // The thread that creates the dispatcher is its main thread.
  TDispatcher() : mainThread_(std::this_thread::get_id()) {}
  // Called after a call was queued, on the posting thread: wake the main thread's loop.
  virtual void Wake() {}

private:
  std::thread::id mainThread_;
  mutable std::mutex lock_;
  std::condition_variable queued_;
  std::deque<std::function<void()>> queue_;
};

// Nothing wakes it: tests call ProcessPending (or WaitForWork first) on the main thread.
class TManualDispatcher : public TDispatcher {
public:
  TManualDispatcher() = default;
};

// The installed dispatcher (none at start). The installer keeps ownership and must
// uninstall (nullptr) before destroying it.
TDispatcher* MainDispatcher();
void SetMainDispatcher(TDispatcher* dispatcher);

// True on the installed dispatcher's main thread, or anywhere when none is installed.
bool IsMainThread();
// With no dispatcher installed both run Fn at once on the calling thread.
void RunOnMainThread(std::function<void()> fn);
void PostToMainThread(std::function<void()> fn);
// On the main thread: runs the queued calls of the installed dispatcher (0 when none).
int ProcessMainThreadCalls();

// Installs a dispatcher for the lifetime of a scope (tests).
class TScopedDispatcher {
public:
  explicit TScopedDispatcher(TDispatcher* d) : previous_(MainDispatcher()) { SetMainDispatcher(d); }
  ~TScopedDispatcher() { SetMainDispatcher(previous_); }
  TScopedDispatcher(const TScopedDispatcher&) = delete;
  TScopedDispatcher& operator=(const TScopedDispatcher&) = delete;

private:
  TDispatcher* previous_;
};
