#include "mailing/DisplayRelay.h"

#include "platform/Dispatcher.h"

void TDisplayRelay::Status(std::string text) {
  std::unique_lock<std::mutex> g(lock_);
  status_ = std::move(text);
  Posted(g);
}

void TDisplayRelay::Counters() {
  std::unique_lock<std::mutex> g(lock_);
  counters_ = true;
  Posted(g);
}

void TDisplayRelay::Posted(std::unique_lock<std::mutex>& g) {
  const auto now = std::chrono::steady_clock::now();
  if (posted_ || now - lastTake_ < MinInterval) return;
  posted_ = true;
  g.unlock();
  PostToMainThread(flush_);
}

bool TDisplayRelay::Take(std::optional<std::string>& status, bool& counters, bool force) {
  std::lock_guard<std::mutex> g(lock_);
  posted_ = false;
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - lastTake_ < MinInterval) return false;
  if (!status_ && !counters_) return false;
  lastTake_ = now;
  status = std::move(status_);
  status_.reset();
  counters = counters_;
  counters_ = false;
  return status || counters;
}
