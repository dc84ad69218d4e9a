#include "net/IdThread.h"

#include <chrono>
#include <exception>
#include <string>

#include "platform/Dispatcher.h"

TIdThread::TIdThread() = default;

TIdThread::~TIdThread() { TerminateAndWaitFor(); }

void TIdThread::Start() {
  std::lock_guard<std::mutex> g(lock_);
  if (terminated_.load() || finished_.load()) return;
  stopped_.store(false);
  if (!thread_.joinable()) thread_ = std::thread([this] { Execute(); });
  wake_.notify_all();
}

void TIdThread::Stop() {
  if (StopMode == smTerminate) {
    Terminate();
    return;
  }
  std::lock_guard<std::mutex> g(lock_);
  stopped_.store(true);
}

void TIdThread::Terminate() {
  std::lock_guard<std::mutex> g(lock_);
  terminated_.store(true);
  wake_.notify_all();
}

void TIdThread::WaitFor() {
  if (!thread_.joinable()) return;
  if (std::this_thread::get_id() == thread_.get_id()) return;  // a thread cannot wait for itself
  const bool pump = IsMainThread() && MainDispatcher() != nullptr;
  while (!finished_.load()) {
    if (pump) {
      ProcessMainThreadCalls();
      MainDispatcher()->WaitForWork(5);
    } else {
      std::unique_lock<std::mutex> g(lock_);
      wake_.wait_for(g, std::chrono::milliseconds(5), [&] { return finished_.load(); });
    }
  }
  thread_.join();
}

void TIdThread::TerminateAndWaitFor() {
  Terminate();
  WaitFor();
}

void TIdThread::Synchronize(const std::function<void()>& fn) { RunOnMainThread(fn); }

void TIdThread::HandleRunException(const std::string&) {}

void TIdThread::Execute() {
  for (;;) {
    {
      std::unique_lock<std::mutex> g(lock_);
      wake_.wait(g, [&] { return terminated_.load() || !stopped_.load(); });
      if (terminated_.load()) break;
      running_.store(true);
    }
    std::string error;
    bool failed = false;
    try {
      Run();
    } catch (const std::exception& e) {
      failed = true;
      error = e.what();
    } catch (...) {
      failed = true;
      error = "Unknown error";
    }
    if (failed) {
      // Nothing may leave the thread function: that would end the program.
      try {
        HandleRunException(error);
      } catch (...) {
      }
      Stop();
    }
    running_.store(false);
  }
  {
    std::lock_guard<std::mutex> g(lock_);
    finished_.store(true);
    stopped_.store(true);
  }
  wake_.notify_all();
}
