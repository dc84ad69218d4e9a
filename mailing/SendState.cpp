#include "mailing/SendState.h"

#include <cmath>

TSendControls SendControls(TSendState state, int items, int sentCount, int failedCount) {
  TSendControls c;
  switch (state) {
    case ssIdle: {
      const int done = sentCount + failedCount;
      c.Prepare = true;
      c.Start = items > done;
      c.StartCaption = c.Start && done > 0 ? "Continue" : "Start";
      c.ClearList = items > 0;
      c.Help = true;
      c.ResetFailed = failedCount >= 1;
      c.Report = items > 0;
      c.Hide = true;
      c.SendCurrent = true;
      break;
    }
    case ssPreparing: break;
    case ssSending:
      c.Start = true;
      c.StartCaption = "Stop";
      c.Help = true;
      c.Hide = true;
      break;
  }
  return c;
}

TSendCounters SendCounters(int sentCount, int failedCount, int items, int activeThreads) {
  return {std::to_string(sentCount) + " Sent of " + std::to_string(items), std::to_string(failedCount) + " Failed",
          std::to_string(activeThreads) + " Active Threads"};
}

bool TSendProgress::Apply(int done, int total) {
  if (total == 0) {
    const bool moved = position_ != 0;
    position_ = 0;
    return moved;
  }
  // nearbyint rounds halves to even in the default rounding mode.
  const int p = static_cast<int>(std::nearbyint(100.0 * done / total));
  if (p <= position_) return false;
  position_ = p;
  return true;
}

std::string TSendProgress::Caption() const { return std::to_string(position_) + "% Completed"; }
