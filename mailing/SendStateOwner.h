#pragma once
// The mailing window's state, which the run, Prepare, Send Current and the
// window share, and the one lock under which the prepared list's items and
// counters change while senders work.

#include <atomic>
#include <mutex>

#include "mailing/SendState.h"

class TPreparedMailing;

class ISendStateListener {
public:
  virtual ~ISendStateListener() = default;
  // Sets the controls; the main window refreshes its commands and Get List.
  virtual void SendStateChanged(TSendState state, const TSendControls& controls) = 0;
};

// Any thread may read the state; it is set on the main thread only.
class TSendStateOwner {
public:
  TSendStateOwner(const TPreparedMailing& mailing, ISendStateListener& listener);
  TSendStateOwner(const TSendStateOwner&) = delete;
  TSendStateOwner& operator=(const TSendStateOwner&) = delete;

  TSendState State() const { return state_.load(); }
  // Tells the listener even when the state stays: the list may have changed.
  void Set(TSendState state);
  // The controls for the state and the list as it stands, read under the lock.
  TSendControls Controls() const;
  std::mutex& Lock() const { return lock_; }

private:
  const TPreparedMailing& mailing_;
  ISendStateListener& listener_;
  std::atomic<TSendState> state_{ssIdle};
  mutable std::mutex lock_;
};
