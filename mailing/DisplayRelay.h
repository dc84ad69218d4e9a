#pragma once
// How worker threads hand the status line, the counters and the progress to
// the window without waiting for it: they leave the latest values here, and
// at most about twenty times a second one call is posted to the main thread,
// which takes whatever is pending then. Values left behind by the rate limit
// are taken by the next post or by the supervision timer's pass.

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

class TDisplayRelay {
public:
  // Flush runs on the main thread and calls Take.
  explicit TDisplayRelay(std::function<void()> flush) : flush_(std::move(flush)) {}

  // Any thread.
  void Status(std::string text);
  void Counters();  // the counters and the progress changed

  // Main thread: what is pending, cleared. False when nothing is, or when
  // the last values were taken less than the interval ago (unless forced).
  bool Take(std::optional<std::string>& status, bool& counters, bool force);

private:
  void Posted(std::unique_lock<std::mutex>& lock);

  static constexpr std::chrono::milliseconds MinInterval{50};
  std::function<void()> flush_;
  std::mutex lock_;
  std::optional<std::string> status_;
  bool counters_ = false;
  bool posted_ = false;
  std::chrono::steady_clock::time_point lastTake_{};
};
