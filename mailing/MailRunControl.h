#pragma once
// The mailing run as the mailing window's buttons reach it. The run works on
// the window's prepared mailing and reports through its IMailingView; the
// window leaves Start / Continue / Stop and Reset Failed Items disabled
// while no run is given. Everything here, and every call the run makes on
// the window's view, happens on the UI thread (workers go through the
// dispatcher).

class IMailRun {
public:
  virtual ~IMailRun() = default;
  // "Start" / "Continue": sends the items neither sent nor failed.
  virtual void Start() = 0;
  // "Stop": the run winds down after the senders' current attempts.
  virtual void Stop() = 0;
  // "Reset Failed Items", only while idle.
  virtual void ResetFailedItems() = 0;
  // Senders not yet released, for the counters.
  virtual int ActiveThreads() const = 0;
};
