#pragma once
// The mailing window's state byte and what it enables: the window, the main
// window's Send Current and the withdrawal page's Get List all follow it.

#include <string>

#include "workspace/SendState.h"

// The mailing window's controls for one state (and the main window's Send Current).
struct TSendControls {
  bool Prepare = false;
  bool Start = false;
  std::string StartCaption = "Start";  // "Start", "Continue" or "Stop"
  bool ClearList = false;
  bool Help = false;
  bool ResetFailed = false;
  bool Report = false;
  bool Hide = false;
  bool SendCurrent = false;  // the main window's menu item and button
  bool operator==(const TSendControls&) const = default;
};

TSendControls SendControls(TSendState state, int items, int sentCount, int failedCount);

// The three counter lines: "N Sent of M", "N Failed", "N Active Threads".
struct TSendCounters {
  std::string Sent;
  std::string Failed;
  std::string Active;
  bool operator==(const TSendCounters&) const = default;
};

TSendCounters SendCounters(int sentCount, int failedCount, int items, int activeThreads);

// The progress bar (0..100) never moves back during an operation: callers
// reset it first. Apply: total 0 sets 0; otherwise round(100 * done / total)
// (halves to even) only when above the current position. True when it moved.
class TSendProgress {
public:
  bool Apply(int done, int total);
  void Reset() { position_ = 0; }
  int Position() const { return position_; }
  // "N% Completed", the window caption and the application title.
  std::string Caption() const;

private:
  int position_ = 0;
};
