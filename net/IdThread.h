#pragma once
// The worker-thread class. A thread runs Run again and again until it is stopped or
// terminated. In the suspend stop mode (the only one the program uses) a stopped thread
// waits, and Start makes it run Run again; the thread object is never freed on terminate.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

enum TIdThreadStopMode { smTerminate, smSuspend };

class TIdThread {
public:
  // Always created suspended: a C++ object cannot run its overridden Run before its own
  // constructor has finished, so a thread "created running" is constructed, then started.
  // The operating-system thread is made by the first Start.
  TIdThread();
  TIdThread(const TIdThread&) = delete;
  TIdThread& operator=(const TIdThread&) = delete;
  // Terminates and waits for the thread. A derived class whose Run uses its own members
  // must call TerminateAndWaitFor in its destructor.
  virtual ~TIdThread();

  // Runs Run again (from the stopped state); does nothing when running or terminated.
  void Start();
  // Suspend mode: the thread suspends after the Run in progress (or at once when called
  // from within Run, once Run returns). Terminate mode: same as Terminate.
  void Stop();
  // The thread ends after the Run in progress; a stopped thread ends at once.
  void Terminate();
  // Waits for the thread to end. On the main thread the dispatcher's queued calls are run
  // while waiting, so a thread inside Synchronize can finish.
  void WaitFor();
  void TerminateAndWaitFor();

  bool Stopped() const { return stopped_.load(); }
  bool Terminated() const { return terminated_.load(); }
  // True while Run is executing.
  bool Running() const { return running_.load(); }
  // True once the thread function has returned.
  bool Finished() const { return finished_.load(); }

  TIdThreadStopMode StopMode = smSuspend;
  const bool FreeOnTerminate = false;

protected:
  // The work of one pass; called on the thread again and again while not stopped.
  virtual void Run() = 0;
  // Runs Fn on the main thread through the installed dispatcher and waits for it.
  void Synchronize(const std::function<void()>& fn);
  // An exception escaping Run: the thread stops (suspend mode) and the text is kept here.
  virtual void HandleRunException(const std::string& message);

private:
  void Execute();

  std::thread thread_;
  std::mutex lock_;
  std::condition_variable wake_;
  std::atomic<bool> stopped_{true};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> running_{false};
  std::atomic<bool> finished_{false};
};
